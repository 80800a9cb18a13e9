// A small XML reader for the tests: checks that a document is well formed
// (one root element, matched tags, quoted attributes without duplicates,
// valid entity and character references, valid UTF-8) and returns its
// element tree, so that a test can look for the elements it expects.
#ifndef SCENARIO_TOOLS_PREVIEW_XML_CHECK_H_
#define SCENARIO_TOOLS_PREVIEW_XML_CHECK_H_

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tools::testing {

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attributes;  // values with references resolved
  std::string text;                               // character data directly inside
  std::vector<std::unique_ptr<XmlElement>> children;

  // Every element of the subtree (this one included) with this name.
  std::vector<const XmlElement*> all(std::string_view element_name) const;
};

struct XmlResult {
  std::string error;  // empty when the document is well formed
  std::unique_ptr<XmlElement> root;
};

XmlResult parse_xml(std::string_view document);

}  // namespace tools::testing

#endif  // SCENARIO_TOOLS_PREVIEW_XML_CHECK_H_
