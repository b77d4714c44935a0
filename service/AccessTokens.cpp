#include "service/AccessTokens.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace fx {

namespace {

// Compares in time that does not depend on where the texts differ.
bool SameSecret(const std::string& a, const std::string& b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    return difference == 0;
}

} // namespace

bool AccessTokens::Load(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        error = "cannot read the token file " + path;
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        error = "the token file " + path + " must be readable by its owner only (chmod 600)";
        return false;
    }
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the token file " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        std::istringstream words(line);
        std::string kind, token, extra;
        if (!(words >> kind) || kind[0] == '#') continue;
        if (!(words >> token) || (words >> extra) || (kind != "read" && kind != "write") ||
            token.size() < 8) {
            error = path + ":" + std::to_string(number) +
                    ": expected \"read TOKEN\" or \"write TOKEN\" (8 characters at least)";
            return false;
        }
        Add(kind == "write" ? Access::Write : Access::Read, token);
    }
    if (m_tokens.empty()) {
        error = "the token file " + path + " holds no token";
        return false;
    }
    return true;
}

void AccessTokens::Add(Access access, std::string token) {
    m_tokens.push_back({access, std::move(token)});
}

bool AccessTokens::HasWriteToken() const {
    for (const Token& token : m_tokens)
        if (token.access == Access::Write) return true;
    return false;
}

AccessTokens::Access AccessTokens::Check(const std::string& authorization) const {
    if (!Required()) return Access::Write;
    std::string presented = authorization;
    const std::string bearer = "Bearer ";
    if (presented.compare(0, bearer.size(), bearer) == 0)
        presented = presented.substr(bearer.size());
    if (presented.empty()) return Access::None;
    Access best = Access::None;
    for (const Token& token : m_tokens)
        if (SameSecret(presented, token.text) && token.access > best) best = token.access;
    return best;
}

const char* AccessName(AccessTokens::Access access) {
    switch (access) {
    case AccessTokens::Access::Read:
        return "read";
    case AccessTokens::Access::Write:
        return "write";
    case AccessTokens::Access::None:
        break;
    }
    return "none";
}

} // namespace fx
