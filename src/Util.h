#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

class TComponent;
class TMemoryStream;

// The compressor for network file bodies, a small LZ77 variant. Data goes through in 4 KiB
// chunks that share no history; a chunk holds literals, back-references (distance 1..4095,
// length 3..18) and runs (16..4095 equal bytes) under 16-bit flag words, and falls back to a
// raw copy if that would be larger. docs/file-format.md has the bytes. Output must match
// byte for byte, so even which match gets picked is fixed, not a tuning choice.
class TFastCompress {
public:
    static constexpr int BlockSize = 4096;      // input bytes per block, decoded bytes at most
    static constexpr int MaxBlockLength = 4097; // a stored block: kind byte + 4096 bytes
    static constexpr int BufferSize = 8193;
    static constexpr int HashSize = 4096;
    static constexpr std::uint8_t KindCoded = 0x40;
    static constexpr std::uint8_t KindStored = 0x80;

    // Compresses the first count bytes (1..4096) of InBuffer into OutBuffer and returns the size
    // written: never more than count, except one extra kind byte when the chunk is kept raw.
    int CompressBlock(int count);
    // Decodes the block of length bytes held in InBuffer into OutBuffer and returns the decoded
    // length. A block that breaks the format's limits raises ECompressError; decoding never reads
    // past the block's bytes nor writes past the 4096 decoded bytes a block may hold.
    int DecompressBlock(int length);
    // Looks up the one candidate for the 3 bytes at position (hash table probe), records the
    // position as the new candidate, and reports a match of 3..18 bytes within the block.
    bool FindMatch(int position, int blockLength, int &matchPosition, int &matchLength);

    // Compresses from the source's position to its end onto the destination's end, each chunk
    // with a length prefix. Result: bytes written, or -1 if a chunk could not be coded.
    std::int64_t CompressStream(TMemoryStream &source, TMemoryStream &destination);
    // The reverse of CompressStream. Result: bytes written; 0 for a length prefix bigger than
    // the entire source, which no compressor output can have; -1 for a corrupt chunk or output
    // beyond limit. Whatever was decoded before a failure is kept, so a damaged file yields its
    // readable front.
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
// The same; damage then says why the body stopped decoding early, empty when all of it decoded.
TMemoryStream NetworkFileStream(TMemoryStream &image, std::string &damage);
// A network file's image, refused as the full load refuses it when it is far too large.
TMemoryStream LoadNetworkFileImage(const std::string &fileName);
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
