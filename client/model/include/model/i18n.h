// The operator's language for the texts the model composes. The texts as
// written (Chinese) are the source; the client sets a translation once at
// start, before any other thread runs, and the model's tx() goes through it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace model {

using Translation = std::function<std::u16string(std::u16string_view)>;

// Empty: the texts as written.
void set_translation(Translation translation);

// source in the operator's language. Only for texts shown to the operator:
// what is written to files, compared or parsed stays as written.
std::u16string tx(std::u16string_view source);

// pattern with each %1..%9 replaced by its argument (missing ones by
// nothing), in one pass: an argument holding "%2" stays as it is.
std::u16string fill_pattern(std::u16string_view pattern, const std::vector<std::u16string>& args);

// A composed text: the pattern translated, then filled, so a translation may
// put the values where its language wants them.
std::u16string tx(std::u16string_view pattern, const std::vector<std::u16string>& args);

}  // namespace model
