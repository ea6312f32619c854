// Output names: the base name of a source file and a free output path.
#pragma once

#include <string>

enum class AffixMode { Prefix, Suffix };

// The file name after the last backslash, without its last extension.
std::u16string BaseNameOf(const std::u16string& path);

// folder + name + extension; while that exists, one more copy of the affix
// goes before the name (prefix mode) or after it (suffix mode). Empty when
// the affix makes no free name (see the definition).
std::u16string MakeOutputPath(const std::u16string& folder, const std::u16string& name,
                              const std::u16string& prefix, const std::u16string& suffix,
                              const std::u16string& extension, AffixMode mode);
