#include <cstring>

#include "archive/archive.h"
#include "archive/le32.h"

// =========================================================================================================
// [SECTION] Code tree

namespace {

const int kEndSymbol = 256;
const int kSymbolCount = 257;
const int kMaxNodes = 2 * kSymbolCount - 1;

struct HUFF_NODE {
  int32_t weight;
  int32_t symbol;  // 0..256 for a leaf, -1 for an internal node
  uint32_t index;
  HUFF_NODE *child0;
  HUFF_NODE *child1;
  HUFF_NODE *parent;
};

struct HUFF_TREE {
  HUFF_NODE nodes[kMaxNodes];
  int nodeCount;
  HUFF_NODE *root;
  HUFF_NODE *leaf[kSymbolCount];
  // The active nodes as a binary heap, lightest on top.
  HUFF_NODE *heap[kSymbolCount];
  int heapSize;
};

HUFF_TREE sTree;

// The merge order is part of the format: a block decodes only when the decoder merges exactly as the
// packer did. The lighter node goes first, and among equal weights the one created last (highest index),
// which is what a scan over all nodes keeping the last minimum picks; the heap gives the same order
// without the scans.
bool Lighter(const HUFF_NODE *a, const HUFF_NODE *b) {
  return a->weight < b->weight || (a->weight == b->weight && a->index > b->index);
}

void HeapPush(HUFF_TREE *tree, HUFF_NODE *node) {
  int i = tree->heapSize++;
  while (i > 0 && Lighter(node, tree->heap[(i - 1) / 2])) {
    tree->heap[i] = tree->heap[(i - 1) / 2];
    i = (i - 1) / 2;
  }
  tree->heap[i] = node;
}

HUFF_NODE *HeapPop(HUFF_TREE *tree) {
  HUFF_NODE *top = tree->heap[0];
  HUFF_NODE *last = tree->heap[--tree->heapSize];
  int i = 0;
  for (;;) {
    int child = 2 * i + 1;
    if (child >= tree->heapSize) break;
    if (child + 1 < tree->heapSize && Lighter(tree->heap[child + 1], tree->heap[child])) child++;
    if (!Lighter(tree->heap[child], last)) break;
    tree->heap[i] = tree->heap[child];
    i = child;
  }
  tree->heap[i] = last;
  return top;
}

void BuildTree(HUFF_TREE *tree, const uint32_t counts[256]) {
  memset(tree, 0, sizeof *tree);
  int leaves = 0;
  for (int s = 0; s < kSymbolCount; s++) {
    uint32_t count = s == kEndSymbol ? 1 : counts[s];
    if (!count) continue;
    HUFF_NODE *node = &tree->nodes[leaves];
    node->weight = (int32_t)count;
    node->symbol = s;
    node->index = (uint32_t)leaves;
    tree->leaf[s] = node;
    HeapPush(tree, node);
    leaves++;
  }
  tree->nodeCount = leaves;
  // While fewer than 2n - 1 nodes exist, at least two are active.
  while (tree->nodeCount < 2 * leaves - 1) {
    HUFF_NODE *a = HeapPop(tree);
    HUFF_NODE *b = HeapPop(tree);
    HUFF_NODE *node = &tree->nodes[tree->nodeCount];
    // Counts from a damaged block may overflow; the sum wraps as 32-bit arithmetic does, identically in
    // packer and decoder.
    node->weight = (int32_t)((uint32_t)a->weight + (uint32_t)b->weight);
    node->symbol = -1;
    node->index = (uint32_t)tree->nodeCount;
    node->child0 = a;
    node->child1 = b;
    a->parent = node;
    b->parent = node;
    HeapPush(tree, node);
    tree->nodeCount++;
  }
  tree->root = &tree->nodes[tree->nodeCount - 1];
}

uint64_t ReadLE64(const unsigned char *p) {
  uint64_t value;
  memcpy(&value, p, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  value = __builtin_bswap64(value);
#endif
  return value;
}

// =========================================================================================================
// [SECTION] Decoder

// Each table slot holds what the next kTableBits stream bits decode to from the root: up to three whole
// byte symbols (bits 8..31, first symbol lowest), their count (bits 6..7) and the stream bits they take
// (bits 0..5, so that the shift needs no mask on the hot path). A count of 0 means the first code is
// longer than the table or is the end symbol; the plain walk handles those.
const int kTableBits = 12;
const uint32_t kTableMask = (1u << kTableBits) - 1;
uint32_t sTable[1u << kTableBits];
// The first symbol alone for every bit pattern: symbol in bits 8..16, code length in bits 0..3 (0 when
// the code is longer than the table).
uint32_t sFirst[1u << kTableBits];

// Every pattern whose low `depth` bits are the node's code (first bit lowest) starts with that node.
void FillFirst(const HUFF_NODE *node, uint32_t code, uint32_t depth) {
  if (node->symbol >= 0) {
    for (uint32_t pattern = code; pattern <= kTableMask; pattern += 1u << depth)
      sFirst[pattern] = (uint32_t)node->symbol << 8 | depth;
    return;
  }
  if (depth == kTableBits) return;
  FillFirst(node->child0, code, depth + 1);
  FillFirst(node->child1, code | 1u << depth, depth + 1);
}

void BuildTable(const HUFF_TREE *tree) {
  memset(sFirst, 0, sizeof sFirst);
  FillFirst(tree->root, 0, 0);
  for (uint32_t pattern = 0; pattern <= kTableMask; pattern++) {
    uint32_t used = 0, count = 0, symbols = 0;
    while (count < 3) {
      // The bits above the pattern are unknown (shifted-in zeros); a code is only taken when all of its
      // bits are real.
      uint32_t first = sFirst[pattern >> used];
      uint32_t length = first & 15, symbol = first >> 8;
      if (!length || length > kTableBits - used || symbol == kEndSymbol) break;
      symbols |= symbol << (8 * count);
      used += length;
      count++;
    }
    sTable[pattern] = symbols << 8 | count << 6 | used;
  }
}

// The stream as the plain walk sees it: bit `position` counted from the first bit after the count table,
// with zeros past the end of the block.
struct BIT_STREAM {
  const unsigned char *bytes;
  uint64_t size;
  uint64_t position;
};

int WalkOneSymbol(const HUFF_TREE *tree, BIT_STREAM *stream) {
  const HUFF_NODE *node = tree->root;
  while (node->symbol < 0) {
    uint64_t byte = stream->position >> 3;
    int bit = byte < stream->size ? (stream->bytes[byte] >> (stream->position & 7)) & 1 : 0;
    stream->position++;
    node = bit ? node->child1 : node->child0;
  }
  return node->symbol;
}

}  // namespace

uint32_t HuffDecode(const unsigned char *block, uint32_t blockSize, unsigned char *output, uint32_t outputSize) {
  uint32_t counts[256];
  unsigned char table[kHuffCountTableSize] = {};
  if (blockSize) memcpy(table, block, blockSize < kHuffCountTableSize ? blockSize : kHuffCountTableSize);
  for (int i = 0; i < 256; i++) counts[i] = ReadLE32(table + 4 * i);
  BuildTree(&sTree, counts);
  // Only the end symbol: empty data, and no bit is taken.
  if (sTree.root->symbol >= 0) return 0;

  BIT_STREAM stream = {nullptr, 0, 0};
  if (blockSize > kHuffCountTableSize) {
    stream.bytes = block + kHuffCountTableSize;
    stream.size = blockSize - kHuffCountTableSize;
  }
  uint32_t written = 0;

  // Large inputs leave the plain walk to the table for all but long codes and the last few bytes.
  if (stream.size >= 64 && outputSize >= 64) {
    BuildTable(&sTree);
    // Four lookups take at most 48 bits, within the 57 a load guarantees; each stores four bytes, of
    // which up to three are symbols.
    while ((stream.position >> 3) + 8 <= stream.size && outputSize - written >= 16) {
      uint64_t bits = ReadLE64(stream.bytes + (stream.position >> 3)) >> (stream.position & 7);
      uint64_t position = stream.position;
      int lookups = 0;
      for (; lookups < 4; lookups++) {
        uint32_t slot = sTable[bits & kTableMask];
        if (!(slot & 0xC0)) break;
        uint32_t symbols = slot >> 8;
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        symbols = __builtin_bswap32(symbols);
#endif
        memcpy(output + written, &symbols, 4);
        written += (slot >> 6) & 3;
        bits >>= slot & 63;
        position += slot & 63;
      }
      stream.position = position;
      if (lookups == 4) continue;
      int symbol = WalkOneSymbol(&sTree, &stream);
      if (symbol == kEndSymbol) return written;
      output[written++] = (unsigned char)symbol;
    }
  }

  for (;;) {
    int symbol = WalkOneSymbol(&sTree, &stream);
    if (symbol == kEndSymbol) return written;
    if (written == outputSize) return outputSize + 1;
    output[written++] = (unsigned char)symbol;
  }
}

// =========================================================================================================
// [SECTION] Encoder

namespace {

// Code bits in stream order (the bit nearest the root first), up to 256 bits for the deepest tree.
struct HUFF_CODE {
  uint32_t length;
  uint64_t bits[4];
};

HUFF_CODE sCodes[kSymbolCount];

void CountBytes(const unsigned char *source, uint32_t length, uint32_t counts[256]) {
  memset(counts, 0, 256 * sizeof(uint32_t));
  for (uint32_t i = 0; i < length; i++) counts[source[i]]++;
}

void BuildCodes(const HUFF_TREE *tree) {
  memset(sCodes, 0, sizeof sCodes);
  for (int s = 0; s < kSymbolCount; s++) {
    const HUFF_NODE *leaf = tree->leaf[s];
    if (!leaf) continue;
    uint32_t depth = 0;
    for (const HUFF_NODE *node = leaf; node->parent; node = node->parent) depth++;
    HUFF_CODE &code = sCodes[s];
    code.length = depth;
    // Walking up gives the bits last to first.
    uint32_t position = depth;
    for (const HUFF_NODE *node = leaf; node->parent; node = node->parent) {
      position--;
      if (node == node->parent->child1) code.bits[position >> 6] |= (uint64_t)1 << (position & 63);
    }
  }
}

uint64_t StreamBits(const uint32_t counts[256]) {
  uint64_t bits = sCodes[kEndSymbol].length;
  for (int s = 0; s < 256; s++) bits += (uint64_t)counts[s] * sCodes[s].length;
  return bits;
}

struct BIT_WRITER {
  unsigned char *out;
  uint64_t pending;
  uint32_t pendingBits;
};

void PutBits(BIT_WRITER *writer, uint64_t bits, uint32_t count) {
  writer->pending |= bits << writer->pendingBits;
  writer->pendingBits += count;
  while (writer->pendingBits >= 8) {
    *writer->out++ = (unsigned char)writer->pending;
    writer->pending >>= 8;
    writer->pendingBits -= 8;
  }
}

void PutCode(BIT_WRITER *writer, const HUFF_CODE &code) {
  uint32_t left = code.length;
  for (int word = 0; left; word++) {
    uint64_t bits = code.bits[word];
    for (uint32_t shift = 0; shift < 64 && left; shift += 32) {
      uint32_t take = left < 32 ? left : 32;
      PutBits(writer, (bits >> shift) & (((uint64_t)1 << take) - 1), take);
      left -= take;
    }
  }
}

// Leaves the codes for these bytes in sCodes and their counts in `counts`; returns the block's size.
uint64_t PlanBlock(const unsigned char *source, uint32_t length, uint32_t counts[256]) {
  CountBytes(source, length, counts);
  BuildTree(&sTree, counts);
  BuildCodes(&sTree);
  return kHuffCountTableSize + (StreamBits(counts) + 7) / 8;
}

}  // namespace

uint64_t HuffEncodedSize(const unsigned char *source, uint32_t length) {
  uint32_t counts[256];
  return PlanBlock(source, length, counts);
}

uint32_t HuffEncode(const unsigned char *source, uint32_t length, unsigned char *destination,
                    uint32_t destinationSize) {
  uint32_t counts[256];
  uint64_t size = PlanBlock(source, length, counts);
  if (size > destinationSize) return 0;

  for (int s = 0; s < 256; s++) WriteLE32(destination + 4 * s, counts[s]);
  BIT_WRITER writer = {destination + kHuffCountTableSize, 0, 0};
  for (uint32_t i = 0; i < length; i++) PutCode(&writer, sCodes[source[i]]);
  PutCode(&writer, sCodes[kEndSymbol]);
  // The final byte is padded with zero bits.
  if (writer.pendingBits) PutBits(&writer, 0, 8 - writer.pendingBits);
  return (uint32_t)size;
}
