#include "compliance/WordMatcher.h"

#include <deque>

#include "platform/Gbk.h"

namespace smsc {
namespace {

uint64_t edgeKey(int node, uint32_t ch) {
    return static_cast<uint64_t>(node) << 16 | ch;
}

}  // namespace

std::vector<uint32_t> GbkCharacterCodes(std::string_view gbk) {
    std::vector<uint32_t> codes;
    codes.reserve(gbk.size());
    for (size_t i = 0; i < gbk.size();) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        if (GbkCharBytes(gbk, i) == 2) {
            codes.push_back(static_cast<uint32_t>(b) << 8 | static_cast<unsigned char>(gbk[i + 1]));
            i += 2;
        } else {
            codes.push_back(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
            ++i;
        }
    }
    return codes;
}

WordMatcher::WordMatcher() : m_nodes(1) {}

WordMatcher::WordMatcher(const std::vector<std::string>& words) : m_nodes(1) {
    for (const std::string& word : words)
        add(word);
    link();
}

int WordMatcher::child(int node, uint32_t ch) const {
    const auto it = m_edges.find(edgeKey(node, ch));
    return it == m_edges.end() ? -1 : it->second;
}

void WordMatcher::add(const std::string& word) {
    const std::vector<uint32_t> codes = GbkCharacterCodes(word);
    if (codes.empty())
        return;
    int node = 0;
    for (uint32_t ch : codes) {
        int next = child(node, ch);
        if (next < 0) {
            next = static_cast<int>(m_nodes.size());
            m_nodes.emplace_back();
            m_edges.emplace(edgeKey(node, ch), next);
        }
        node = next;
    }
    if (m_nodes[static_cast<size_t>(node)].output < 0) {
        m_nodes[static_cast<size_t>(node)].output = static_cast<int>(m_words.size());
        m_words.push_back(word);
    }
}

void WordMatcher::link() {
    // Children of each node, gathered once for the breadth-first walk.
    std::vector<std::vector<std::pair<uint32_t, int>>> children(m_nodes.size());
    for (const auto& [key, to] : m_edges)
        children[static_cast<size_t>(key >> 16)].emplace_back(static_cast<uint32_t>(key & 0xFFFF),
                                                              to);
    std::deque<int> queue;
    for (const auto& [ch, to] : children[0]) {
        m_nodes[static_cast<size_t>(to)].fail = 0;
        queue.push_back(to);
    }
    while (!queue.empty()) {
        const int node = queue.front();
        queue.pop_front();
        for (const auto& [ch, to] : children[static_cast<size_t>(node)]) {
            int f = m_nodes[static_cast<size_t>(node)].fail;
            int target = child(f, ch);
            while (target < 0 && f != 0) {
                f = m_nodes[static_cast<size_t>(f)].fail;
                target = child(f, ch);
            }
            Node& n = m_nodes[static_cast<size_t>(to)];
            n.fail = target < 0 || target == to ? 0 : target;
            const Node& fn = m_nodes[static_cast<size_t>(n.fail)];
            n.outputLink = fn.output >= 0 ? n.fail : fn.outputLink;
            queue.push_back(to);
        }
    }
}

std::vector<std::string> WordMatcher::findIn(std::string_view gbk) const {
    std::vector<std::string> found;
    if (m_words.empty())
        return found;
    std::vector<bool> seen(m_words.size(), false);
    int node = 0;
    for (uint32_t ch : GbkCharacterCodes(gbk)) {
        int next = child(node, ch);
        while (next < 0 && node != 0) {
            node = m_nodes[static_cast<size_t>(node)].fail;
            next = child(node, ch);
        }
        node = next < 0 ? 0 : next;
        for (int n = m_nodes[static_cast<size_t>(node)].output >= 0
                         ? node
                         : m_nodes[static_cast<size_t>(node)].outputLink;
             n >= 0; n = m_nodes[static_cast<size_t>(n)].outputLink) {
            const auto word = static_cast<size_t>(m_nodes[static_cast<size_t>(n)].output);
            if (!seen[word]) {
                seen[word] = true;
                found.push_back(m_words[word]);
            }
        }
    }
    return found;
}

}  // namespace smsc
