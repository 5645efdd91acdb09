#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

class TComponent;
class TMemoryStream;

// Single-pass LZ77-style block coder of network file bodies. The input is cut into independent
// blocks of at most 4096 bytes; each block is coded with literals, matches (distance 1..4095,
// length 3..18) and runs (16..4095 equal bytes), 16 items to a control word, or stored as it is
// when coding does not shrink it. The byte format is described in docs/file-format.md; the
// choices of the match finder are part of it, so the same input always gives the same bytes.
class TFastCompress {
public:
    static constexpr int BlockSize = 4096;         // input bytes per block, decoded bytes at most
    static constexpr int MaxBlockLength = 4097;    // a stored block: kind byte + 4096 bytes
    static constexpr int BufferSize = 8193;
    static constexpr int HashSize = 4096;
    static constexpr std::uint8_t KindCoded = 0x40;
    static constexpr std::uint8_t KindStored = 0x80;

    // Codes count bytes (1..4096) of InBuffer into OutBuffer; returns the coded length, which is
    // at most count, or count + 1 for the stored form.
    int CompressBlock(int count);
    // Decodes the block of length bytes held in InBuffer into OutBuffer and returns the decoded
    // length. A block that breaks the format's limits raises ECompressError; decoding never reads
    // past the block's bytes nor writes past the 4096 decoded bytes a block may hold.
    int DecompressBlock(int length);
    // Looks up the one candidate for the 3 bytes at position (hash table probe), records the
    // position as the new candidate, and reports a match of 3..18 bytes within the block.
    bool FindMatch(int position, int blockLength, int &matchPosition, int &matchLength);

    // Appends the framed blocks of the source's remaining bytes to the destination. Returns the
    // number of bytes appended, or -1 when coding a block failed.
    std::int64_t CompressStream(TMemoryStream &source, TMemoryStream &destination);
    // Appends the decoded frames of the source's remaining bytes to the destination. Returns the
    // number of bytes appended; 0 when a frame's length exceeds the whole source's size; -1 when
    // a block is malformed or the output would pass limit bytes. Blocks decoded before any of
    // these stay appended.
    std::int64_t DecompressStream(TMemoryStream &source, TMemoryStream &destination,
                                  std::int64_t limit = std::numeric_limits<std::int64_t>::max());

    // Zero-initialised so that bytes read past a short block are always defined.
    std::int16_t HashTable[HashSize] = {};
    std::uint8_t InBuffer[BufferSize] = {};
    std::uint8_t OutBuffer[BufferSize] = {};
};

// Network files: a 10-byte magic, then the compressed body, which is a 10-byte resource header
// followed by the component stream of the network window. docs/file-format.md has the bytes.

// The whole file image of the window, or of a component stream (signature and root record, from
// its position on).
TMemoryStream NetworkFileImage(TComponent &window);
TMemoryStream NetworkFileImage(TMemoryStream &componentStream);
// The component stream inside a file image, positioned at its signature. A image without the
// magic or the resource header raises EStreamError; a damaged body gives what decodes of it.
TMemoryStream NetworkFileStream(TMemoryStream &image);
// Writes the window's network file through a temporary file that replaces the target only once
// it is complete. False when anything failed; the target is then as it was.
bool SaveNetworkFile(const std::string &fileName, TComponent &window);
// Reads a network file into the window, which should own no components, and raises
// EStreamError, ECompressError or EReadError with the precise reason when it cannot. Only the
// classes of the window's own parts can be created; nameTaken tells which window names are in
// use (see TReader).
void ReadNetworkFile(const std::string &fileName, TComponent &window,
                     std::function<bool(std::string_view)> nameTaken = {});
// The same for a file image already in memory.
void ReadNetworkImage(TMemoryStream &image, TComponent &window,
                      std::function<bool(std::string_view)> nameTaken = {});
// As ReadNetworkFile, with only ok to tell whether the whole file was read. Returns the window.
TComponent &LoadNetworkFile(const std::string &fileName, TComponent &window, bool &ok,
                            std::function<bool(std::string_view)> nameTaken = {});
