// The file steps of the compiler, on whole files.
//
// Every file the program writes is first replaced: opened for binary access
// (which creates it), closed, deleted, then written from empty. So an older,
// longer file never leaves bytes behind. Every failure throws RuntimeFailure
// with the file's name.
#ifndef SCENARIO_PLATFORM_FILES_H_
#define SCENARIO_PLATFORM_FILES_H_

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// The folder that holds the running executable, without a final separator.
std::string app_folder();

// The platform's folder separator: "\" on Windows, "/" elsewhere.
char path_separator();

// `folder`, the separator, `name`; no check for a separator already there.
std::string join_path(std::string_view folder, std::string_view name);

// Whether a file of this name exists (the directory lookup of the compiler).
bool file_exists(const std::string& path);

// Deletes the file; throws RuntimeFailure(kFileNotFound) when it is not there.
void delete_file(const std::string& path);

// Reads the whole file as bytes.
std::string read_file(const std::string& path);

// Replaces the file by `bytes`: create, close, delete, write, close.
void replace_file(const std::string& path, std::string_view bytes);

// Receives the parts of a file being written, in order.
using PartSink = std::function<void(std::string_view)>;

// Replaces the file like replace_file, with its bytes given in parts: after
// the create, close and delete, `write_parts` is called once with a sink that
// writes each part as it comes. A large file then never has to be held whole
// in memory.
void replace_file_by_parts(const std::string& path,
                           const std::function<void(const PartSink&)>& write_parts);

// Replaces the file by the given lines, each followed by CR LF.
void replace_text_file(const std::string& path, std::span<const std::string_view> lines);

}  // namespace platform

#endif  // SCENARIO_PLATFORM_FILES_H_
