// The XML check used on the drawings must itself catch what is not XML.
#include "tools/preview/xml_check.h"

#include <gtest/gtest.h>

namespace tools::testing {
namespace {

TEST(XmlCheckTest, AcceptsWellFormedDocuments) {
  const char* good[] = {
      "<a/>",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg x=\"1\" y='2'><g><t>A &amp; B</t></g>"
      "</svg>\n",
      "<a><!-- note --><b c=\"&lt;&#65;&#x42;\"/></a>",
      "<a>\xC2\xB0</a>",
  };
  for (const char* doc : good) EXPECT_EQ(parse_xml(doc).error, "") << doc;
  XmlResult r = parse_xml("<svg><text class=\"s\">A &amp; B</text><path d=\"M0 0\"/></svg>");
  ASSERT_TRUE(r.root);
  ASSERT_EQ(r.root->all("text").size(), 1u);
  EXPECT_EQ(r.root->all("text")[0]->text, "A & B");
  EXPECT_EQ(r.root->all("path")[0]->attributes.at("d"), "M0 0");
}

TEST(XmlCheckTest, RefusesWhatIsNotXml) {
  const char* bad[] = {
      "",
      "text",
      "<a>",
      "<a></b>",
      "<a><b></a></b>",
      "<a x=1/>",
      "<a x=\"1\" x=\"2\"/>",
      "<a x=\"1\"y=\"2\"/>",
      "<a>A & B</a>",
      "<a>&nbsp;</a>",
      "<a x=\"<\"/>",
      "<a/><b/>",
      "<a>\xB0</a>",  // a Windows-1252 byte, not UTF-8
      "<a>\x01</a>",
      "<a x=\"1/>",
  };
  for (const char* doc : bad) EXPECT_NE(parse_xml(doc).error, "") << doc;
}

}  // namespace
}  // namespace tools::testing
