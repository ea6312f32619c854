// The mapping between the program's Windows paths and the host's paths.
//   C: is the home folder, Z: is "/", other drive letters do not exist;
//   the current drive is Z:; "\x" is on the current drive; a relative path is
//   relative to the current folder; "\" and "/" both separate names.
// Text <-> file-name bytes is lossless: valid UTF-8 becomes UTF-16, and each
// byte that is not part of valid UTF-8 becomes the lone surrogate U+DC00+byte,
// and back. A backslash inside a host name, which no Windows name can hold,
// travels the same way, as U+DC5C.
#pragma once

#include <optional>
#include <string>

namespace win32 {

// UTF-16 -> host bytes, and back, losslessly for any file name.
std::string NameToHost(std::u16string_view text);
std::u16string NameFromHost(std::string_view bytes);
// NameFromHost appending to out, for listings that reuse one buffer.
void AppendNameFromHost(std::string_view bytes, std::u16string& out);

// A Windows path -> host path; nothing when it names a drive that does not
// exist or a share. The result has no trailing "/" unless it is "/".
std::optional<std::string> ToHostPath(std::u16string_view winPath);

// A host path (absolute or relative to the current folder) -> drive form:
// under the home folder "C:\...", elsewhere "Z:\...".
std::u16string FromHostPath(std::string_view hostPath);

// The home folder that drive C: stands for ($HOME, else the password entry).
std::string HomeFolder();

}  // namespace win32
