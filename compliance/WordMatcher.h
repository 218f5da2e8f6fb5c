#pragma once
// Many words found in one pass over a text (Aho–Corasick over GBK characters, so a match
// never starts or ends inside a two-byte character). ASCII letters match without regard to
// case. No Qt; GBK text throughout.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace smsc {

class WordMatcher final {
public:
    WordMatcher();
    // Words are GBK; empty ones are ignored, repeated ones count once.
    explicit WordMatcher(const std::vector<std::string>& words);

    size_t size() const { return m_words.size(); }
    // The distinct words found in the text, in the order of their first end in it.
    std::vector<std::string> findIn(std::string_view gbk) const;

private:
    struct Node {
        int fail = 0;
        int output = -1;      // index of the word ending here, or -1
        int outputLink = -1;  // nearest node on the fail chain that ends a word, or -1
    };
    int child(int node, uint32_t ch) const;
    void add(const std::string& word);
    void link();

    std::vector<Node> m_nodes;
    std::unordered_map<uint64_t, int> m_edges;  // (node << 16 | character) → node
    std::vector<std::string> m_words;
};

// The characters of a GBK text as 16-bit codes (a single byte as itself, ASCII letters in
// lower case; a two-byte character as lead << 8 | trail), in order.
std::vector<uint32_t> GbkCharacterCodes(std::string_view gbk);

}  // namespace smsc
