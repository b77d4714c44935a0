#pragma once

#include <string>
#include <vector>

namespace fx {

// The daemon's bearer tokens: lines "read TOKEN" and "write TOKEN" of an
// owner-only file. Without tokens every request has write access.
class AccessTokens {
public:
    enum class Access { None, Read, Write };

    // Reads the file; false with the reason when it is missing, readable by
    // others than its owner, or holds a line of another form.
    bool Load(const std::string& path, std::string& error);
    void Add(Access access, std::string token);

    bool Required() const { return !m_tokens.empty(); }
    bool HasWriteToken() const;
    // The access a request's "Authorization" header (or a bare token) gives.
    Access Check(const std::string& authorization) const;

private:
    struct Token {
        Access access;
        std::string text;
    };
    std::vector<Token> m_tokens;
};

const char* AccessName(AccessTokens::Access access); // "none", "read", "write"

} // namespace fx
