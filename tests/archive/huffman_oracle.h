// The reference decoder, written straight from the format's description: linear scans for the tree and
// one tree step per bit. HuffDecode must match it on every input; the tests and the fuzz harness both hold
// it against the library.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline uint32_t OracleDecode(const Bytes &block, uint32_t outputSize, Bytes *output) {
  auto at = [&](uint64_t i) -> uint32_t { return i < block.size() ? block[i] : 0; };
  struct Node { int32_t weight, symbol; int child[2]; bool active; };
  std::vector<Node> nodes;
  for (int s = 0; s <= 256; s++) {
    uint32_t count = s == 256 ? 1 : at(4 * s) | at(4 * s + 1) << 8 | at(4 * s + 2) << 16 | at(4 * s + 3) << 24;
    if (count) nodes.push_back({(int32_t)count, s, {-1, -1}, true});
  }
  // The lightest active node; among equal weights the last one created.
  auto take = [&] {
    int pick = -1;
    for (int i = 0, best = 0x7FFFFFFF; i < (int)nodes.size(); i++)
      if (nodes[i].active && nodes[i].weight <= best) best = nodes[i].weight, pick = i;
    nodes[pick].active = false;
    return pick;
  };
  for (size_t total = 2 * nodes.size() - 1; nodes.size() < total;) {
    int a = take(), b = take();
    nodes.push_back({(int32_t)((uint32_t)nodes[a].weight + (uint32_t)nodes[b].weight), -1, {a, b}, true});
  }
  const int root = (int)nodes.size() - 1;
  output->clear();
  if (nodes[root].symbol >= 0) return 0;  // the end symbol alone: no bit is taken
  // Bits from the lowest of each byte up, zeros past the block's end.
  for (uint64_t bit = 8 * 1024, node = root;; bit++) {
    node = nodes[node].child[at(bit / 8) >> bit % 8 & 1];
    if (nodes[node].symbol < 0) continue;
    if (nodes[node].symbol == 256) return (uint32_t)output->size();
    if (output->size() == outputSize) return outputSize + 1;
    output->push_back((unsigned char)nodes[node].symbol);
    node = root;
  }
}
