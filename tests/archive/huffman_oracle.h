// The reference decoder, written straight from the format's description: linear scans for the tree, a
// bit buffer kept 24 bits ahead and one tree step per bit. HuffDecode must match it on every input; the
// tests and the fuzz harness both hold it against the library.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline uint32_t OracleDecode(const Bytes &block, uint32_t outputSize, Bytes *output) {
  auto byteAt = [&](uint64_t i) -> uint32_t { return i < block.size() ? block[i] : 0; };
  struct Node { int32_t weight, symbol; int child0, child1; };
  std::vector<Node> nodes;
  std::vector<bool> active;
  for (int s = 0; s <= 256; s++) {
    uint32_t count = 1;
    if (s < 256) count = byteAt(4 * s) | byteAt(4 * s + 1) << 8 | byteAt(4 * s + 2) << 16 | byteAt(4 * s + 3) << 24;
    if (count) nodes.push_back({(int32_t)count, s, -1, -1}), active.push_back(true);
  }
  size_t total = 2 * nodes.size() - 1;
  auto take = [&] {
    int32_t best = 0x7FFFFFFF;
    int pick = -1;
    for (size_t i = 0; i < nodes.size(); i++)
      if (active[i] && nodes[i].weight <= best) best = nodes[i].weight, pick = (int)i;
    active[pick] = false;
    return pick;
  };
  while (nodes.size() < total) {
    int a = take(), b = take();
    nodes.push_back({(int32_t)((uint32_t)nodes[a].weight + (uint32_t)nodes[b].weight), -1, a, b});
    active.push_back(true);
  }
  int root = (int)nodes.size() - 1;
  output->assign(outputSize, 0);
  uint64_t in = 1024;
  uint32_t buffer = 0, held = 0, written = 0;
  int node = root;
  while (nodes[node].symbol < 0) {
    while (held < 24) buffer |= byteAt(in++) << held, held += 8;
    int bit = buffer & 1;
    buffer >>= 1, held--;
    node = bit ? nodes[node].child1 : nodes[node].child0;
    if (nodes[node].symbol < 0) continue;
    if (nodes[node].symbol == 256) return written;
    if (written == outputSize) return outputSize + 1;
    (*output)[written++] = (unsigned char)nodes[node].symbol;
    node = root;
  }
  return 0;
}
