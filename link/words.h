// Words for the operator, in the code in English. This library and control/ have
// no Qt (the fuzzers and the English client link them), so a text the window
// shows is a key: the English words marked with QT_TRANSLATE_NOOP, where Qt
// Linguist finds them, with %1, %2 for what varies. Whoever shows a text passes
// a Translate; the window's looks the key up in the operator's language, English
// returns it as it is.
#pragma once

#include <initializer_list>
#include <string>

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace varnak {

// The text for `key` (marked in `context`) in the operator's language, UTF-8.
using Translate = std::string (*)(const char* context, const char* key);

inline std::string English(const char*, const char* key) { return key; }

// `pattern` with %1 to %9 replaced by the arguments, in one pass: an argument's
// own "%2" stays as it is. A placeholder without an argument stays too.
std::string Fill(const std::string& pattern, std::initializer_list<std::string> args);

}  // namespace varnak
