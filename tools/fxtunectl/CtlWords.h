#pragma once

// The words of the command line's prose in the language of --lang (0
// Chinese, 1 English, the editor's language index), so a line is wholly in
// one language. Error lines stay English.
inline const char* Say(int language, const char* zh, const char* en) {
    return language == 0 ? zh : en;
}
