#include "playback/tree_shape.h"
#include "playback/trees.h"

namespace vidzo {

namespace {

template <typename Reader>
void ReadByteTreeWith(Reader& reader, ByteTree& tree) {
  std::uint32_t count = detail::ReadTreeShape<kByteTreeNodes>(reader, tree.nodes, kByteTreeNodes,
                                                              [&](std::uint32_t) { return reader.Read8(); });
  if (count == 0) ClearByteTree(tree);
}

}  // namespace

void ClearByteTree(ByteTree& tree) {
  tree.nodes[0] = detail::kLeafFlag;
}

void ReadByteTree(BitReader32& reader, ByteTree& tree) {
  ReadByteTreeWith(reader, tree);
}
void ReadByteTree(BitReader64& reader, ByteTree& tree) {
  ReadByteTreeWith(reader, tree);
}

}  // namespace vidzo
