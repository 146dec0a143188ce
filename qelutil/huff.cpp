// The Huff encoders: statistics, escape symbols, tree writing and coding.
//
// An 8-bit encoder codes bytes. A 16-bit encoder codes 16-bit values; the
// leaf values of its tree are written through two byte encoders (low and high
// byte), and three escape symbols stand for "the value equal to the most
// recent, second or third most recent value". The decoder keeps the same three
// recent values (its lasts), so an escape costs only its own short code.
#include <cstring>

#include "qelutil/huff_tree.h"
#include "qelutil/qelutil.h"

namespace {

constexpr uint32_t kByteSymbols = 256;
constexpr uint32_t kWordSymbols = 65536;
// An escape counted fewer times than this stays out of the tree.
constexpr uint32_t kEscapeThreshold = 32;
// Length of an escape that is not in the tree.
constexpr uint8_t kNotInTree = 255;

bool IsByteEncoder(const Huff* h) {
  return h->low_tree == nullptr;
}
uint32_t Symbols(const Huff* h) {
  return IsByteEncoder(h) ? kByteSymbols : kWordSymbols;
}

uint32_t PutBits(QELFile* f, uint32_t value, uint32_t bits) {
  return f != nullptr ? QELFilePutBits(f, value, bits) : 0;
}

// recent[] takes v in front when v is not already there.
void PushRecent(Huff* h, uint32_t v) {
  if (v == h->recent[0]) return;
  h->recent[2] = h->recent[1];
  h->recent[1] = h->recent[0];
  h->recent[0] = v;
}

// An escape is usable when it has a value of its own: escapes that found no
// unused value share the one before them and are never coded (the decoder
// binds a shared value to the lowest escape).
bool EscapeUsable(const Huff* h, int i) {
  if (h->escape[i] >= kWordSymbols) return false;
  for (int j = 0; j < i; ++j)
    if (h->escape[j] == h->escape[i]) return false;
  return true;
}

// Picks the three escape symbols among the unused values, lowest first, and
// puts the escapes counted often enough into the tree; returns a mask of the
// escapes left out. Returns -1 when no value at all is unused: the decoder
// could not tell escape leaves (or any leaf) apart then.
int ChooseEscapes(Huff* h) {
  uint32_t* counts = h->codes;
  uint32_t counter[3];
  uint32_t start = 0;
  for (int i = 0; i < 3; ++i) {
    counter[i] = h->escape[i];
    uint32_t s = start;
    while (s < kWordSymbols - 1 && counts[s] != 0) ++s;
    if (s < kWordSymbols && counts[s] == 0) {
      h->escape[i] = s;
      start = s + 1;
    } else {
      if (i == 0) return -1;
      h->escape[i] = h->escape[i - 1];
      start = kWordSymbols;
    }
  }
  int left_out = 0;
  for (int i = 0; i < 3; ++i) {
    if (!EscapeUsable(h, i)) continue;
    if (counter[i] >= kEscapeThreshold) {
      counts[h->escape[i]] = counter[i];
    } else {
      left_out |= 1 << i;
    }
  }
  return left_out;
}

void MarkEscapesLeftOut(Huff* h, int left_out) {
  for (int i = 0; i < 3; ++i)
    if (left_out & (1 << i)) h->lengths[h->escape[i]] = kNotInTree;
}

uint32_t CountLeaves(const Huff* h) {
  uint32_t n = 0;
  const uint32_t symbols = Symbols(h);
  for (uint32_t s = 0; s < symbols; ++s) n += h->codes[s] != 0 ? 1 : 0;
  return n;
}

// Counts each leaf value's low and high byte into the byte encoders and lets
// them write their trees.
bool WriteByteTrees(Huff* h) {
  HuffInitStats(h->low_tree);
  HuffInitStats(h->high_tree);
  for (uint32_t s = 0; s < kWordSymbols; ++s) {
    if (h->codes[s] == 0) continue;
    HuffAddStat(h->low_tree, s & 0xFF);
    HuffAddStat(h->high_tree, s >> 8);
  }
  const bool low_ok = HuffStartEncode(h->low_tree) >= 0;
  return HuffStartEncode(h->high_tree) >= 0 && low_ok;
}

void WriteEscapes(Huff* h) {
  if (IsByteEncoder(h)) return;
  for (int i = 0; i < 3; ++i) PutBits(h->output, h->escape[i], 16);
}

void WriteInner(void* context) {
  PutBits(static_cast<Huff*>(context)->output, 1, 1);
}

void WriteLeaf(void* context, uint32_t symbol) {
  Huff* h = static_cast<Huff*>(context);
  PutBits(h->output, 0, 1);
  if (IsByteEncoder(h)) {
    PutBits(h->output, symbol, 8);
  } else {
    HuffEncode(h->low_tree, symbol & 0xFF);
    HuffEncode(h->high_tree, symbol >> 8);
  }
}

// The tree is in place: clear the counters of the coding pass.
int32_t Ready(Huff* h, int32_t result) {
  h->bytes_encoded = 0;
  h->bits_written = 0;
  return result;
}

}  // namespace

extern "C" {

Huff* HuffOpen(uint32_t kind) {
  auto* h = static_cast<Huff*>(qelmalloc(sizeof(Huff)));
  if (h == nullptr) return nullptr;
  std::memset(h, 0, sizeof(Huff));
  const bool byte_encoder = (kind & 0xFF) != 0;
  const uint32_t symbols = byte_encoder ? kByteSymbols : kWordSymbols;
  // Lengths first, then the codes, in one block.
  auto* tables = static_cast<uint8_t*>(qelmalloc(symbols * 5));
  if (tables == nullptr) {
    qelfree(h);
    return nullptr;
  }
  std::memset(tables, 0, symbols * 5);
  h->lengths = tables;
  h->codes = reinterpret_cast<uint32_t*>(tables + symbols);
  if (!byte_encoder) {
    h->low_tree = HuffOpen(1);
    h->high_tree = h->low_tree != nullptr ? HuffOpen(1) : nullptr;
    if (h->high_tree == nullptr) {
      HuffClose(h->low_tree);
      qelfree(tables);
      qelfree(h);
      return nullptr;
    }
  }
  return h;
}

void HuffSetOutput(Huff* h, QELFile* output) {
  if (h == nullptr) return;
  h->output = output;
  if (h->low_tree != nullptr) HuffSetOutput(h->low_tree, output);
  if (h->high_tree != nullptr) HuffSetOutput(h->high_tree, output);
}

void HuffClose(Huff* h) {
  if (h == nullptr) return;
  HuffClose(h->low_tree);
  HuffClose(h->high_tree);
  qelfree(h->lengths);
  qelfree(h);
}

void HuffInitStats(Huff* h) {
  if (h == nullptr) return;
  std::memset(h->codes, 0, Symbols(h) * sizeof(uint32_t));
  std::memset(h->escape, 0, sizeof h->escape);
  std::memset(h->recent, 0, sizeof h->recent);
  h->has_stats = 0;
}

void HuffInitLasts(Huff* h) {
  if (h != nullptr) std::memset(h->recent, 0, sizeof h->recent);
}

void HuffAddStat(Huff* h, uint32_t value) {
  if (h == nullptr) return;
  h->has_stats = 1;
  if (IsByteEncoder(h)) {
    ++h->codes[value & 0xFF];
    return;
  }
  const uint32_t v = value & 0xFFFF;
  for (int i = 0; i < 3; ++i) {
    if (v != h->recent[i]) continue;
    if (h->codes[v] == 0) h->codes[v] = 1;  // v stays codable as itself
    ++h->escape[i];
    PushRecent(h, v);
    return;
  }
  PushRecent(h, v);
  ++h->codes[v];
}

int32_t HuffStartEncode(Huff* h) {
  if (h == nullptr) return -1;
  std::memset(h->recent, 0, sizeof h->recent);
  if (!h->has_stats) {
    PutBits(h->output, 0, 1);
    return 12;
  }
  int left_out = 0;
  if (!IsByteEncoder(h)) {
    left_out = ChooseEscapes(h);
    if (left_out < 0) return -1;
  }
  const uint32_t leaves = CountLeaves(h);
  if (leaves == 0) {
    PutBits(h->output, 0, 1);
    return 12;
  }
  huff::WorkScope work(Symbols(h));
  if (!work.ok()) return -1;
  PutBits(h->output, 1, 1);
  if (!IsByteEncoder(h) && !WriteByteTrees(h)) {
    h->too_deep = 1;
    return -1;
  }

  const uint32_t symbols = Symbols(h);
  if (leaves == 1) {
    uint32_t symbol = 0;
    while (h->codes[symbol] == 0) ++symbol;
    std::memset(h->lengths, 0, symbols);
    std::memset(h->codes, 0, symbols * sizeof(uint32_t));
    MarkEscapesLeftOut(h, left_out);
    WriteEscapes(h);
    WriteLeaf(h, symbol);
    PutBits(h->output, 0, 1);
    return Ready(h, 20);
  }

  const uint32_t root = huff::BuildTree(h->codes, symbols, leaves);
  std::memset(h->lengths, 0, symbols);
  std::memset(h->codes, 0, symbols * sizeof(uint32_t));
  h->too_deep = 0;
  if (!huff::AssignCodes(root, h->codes, h->lengths)) {
    h->too_deep = 1;
    return -1;
  }
  MarkEscapesLeftOut(h, left_out);
  WriteEscapes(h);
  huff::VisitPreOrder(root, h, WriteInner, WriteLeaf);
  PutBits(h->output, 0, 1);
  return Ready(h, static_cast<int32_t>(16 + 8 * (leaves - 1)));
}

uint32_t HuffEncode(Huff* h, uint32_t value) {
  if (h == nullptr) return 0;
  uint32_t symbol;
  if (IsByteEncoder(h)) {
    symbol = value & 0xFF;
    h->bytes_encoded += 1;
  } else {
    const uint32_t v = value & 0xFFFF;
    symbol = v;
    for (int i = 0; i < 3; ++i) {
      if (v == h->recent[i] && EscapeUsable(h, i) && h->lengths[h->escape[i]] < h->lengths[v]) {
        symbol = h->escape[i];
        break;
      }
    }
    PushRecent(h, v);
    h->bytes_encoded += 2;
  }
  const uint32_t length = h->lengths[symbol];
  if (length == 0 || length > huff::kMaxCodeLength) return 0;
  h->bits_written += length;
  return PutBits(h->output, h->codes[symbol], length);
}

}  // extern "C"
