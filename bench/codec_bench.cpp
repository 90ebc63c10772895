// Payload codec benchmark: CompressPayload / DecompressPayload against zlib
// (levels 1 and 6) and LZ4 in the same run, on items of 32, 64 and 100 KiB of
// UTF-16LE text.  The text is the machine's own: the licence texts under
// /usr/share/common-licenses, decoded from UTF-8 and re-encoded as UTF-16LE,
// which is how notes and items hold their text.
//
//   compress/<codec>/<KiB>     eight items of the size class per iteration
//   decompress/<codec>/<KiB>   the same items back
//
// Each reports bytes_per_second of input and ratio (stream / input).
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sync/compress.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kItemsPerClass = 8;

// UTF-8 to UTF-16LE; anything outside the basic plane or malformed becomes
// U+FFFD, which does not matter for a benchmark corpus.
void AppendUtf16(const std::string& utf8, Bytes& out) {
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 6 && i + 1 < utf8.size()) {
      cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      len = 2;
    } else if ((c >> 4) == 14 && i + 2 < utf8.size()) {
      cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
           (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
      len = 3;
    } else if ((c >> 3) == 30) {
      len = 4;
    }
    i += len;
    out.push_back(static_cast<std::uint8_t>(cp));
    out.push_back(static_cast<std::uint8_t>(cp >> 8));
  }
}

const Bytes& Corpus() {
  static const Bytes corpus = [] {
    Bytes out;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/share/common-licenses")) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
      std::ifstream in(f, std::ios::binary);
      AppendUtf16(std::string(std::istreambuf_iterator<char>(in), {}), out);
    }
    return out;
  }();
  return corpus;
}

// Items of one size spread over the corpus, starting on whole UTF-16 units.
std::vector<Bytes> Items(std::size_t bytes) {
  const Bytes& corpus = Corpus();
  std::vector<Bytes> items;
  if (corpus.size() < bytes) return items;
  const std::size_t span = corpus.size() - bytes;
  for (int i = 0; i < kItemsPerClass; ++i) {
    const std::size_t at = (span * static_cast<std::size_t>(i) / kItemsPerClass) & ~std::size_t{1};
    items.emplace_back(corpus.begin() + static_cast<std::ptrdiff_t>(at),
                       corpus.begin() + static_cast<std::ptrdiff_t>(at + bytes));
  }
  return items;
}

struct Codec {
  const char* name;
  // Returns the stream size, or 0 on failure.
  std::size_t (*compress)(const Bytes& in, Bytes& out);
  bool (*decompress)(const Bytes& stream, std::size_t streamBytes, Bytes& out);
};

std::size_t OursCompress(const Bytes& in, Bytes& out) {
  out.resize(vellumo::sync::CompressBound(in.size()));
  std::size_t size = 0;
  return vellumo::sync::CompressPayload(in, out, size) == vellumo::sync::kPayloadOk ? size : 0;
}
bool OursDecompress(const Bytes& stream, std::size_t streamBytes, Bytes& out) {
  std::size_t size = 0;
  return vellumo::sync::DecompressPayload(std::span(stream.data(), streamBytes), out, size) ==
             vellumo::sync::kPayloadOk &&
         size == out.size();
}

template <int Level>
std::size_t ZlibCompress(const Bytes& in, Bytes& out) {
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  out.resize(size);
  return compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), Level) == Z_OK ? size : 0;
}
bool ZlibDecompress(const Bytes& stream, std::size_t streamBytes, Bytes& out) {
  uLongf size = static_cast<uLongf>(out.size());
  return uncompress(out.data(), &size, stream.data(), static_cast<uLong>(streamBytes)) == Z_OK &&
         size == out.size();
}

std::size_t Lz4Compress(const Bytes& in, Bytes& out) {
  out.resize(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(in.size()))));
  const int size = LZ4_compress_default(reinterpret_cast<const char*>(in.data()), reinterpret_cast<char*>(out.data()),
                                        static_cast<int>(in.size()), static_cast<int>(out.size()));
  return size > 0 ? static_cast<std::size_t>(size) : 0;
}
bool Lz4Decompress(const Bytes& stream, std::size_t streamBytes, Bytes& out) {
  return LZ4_decompress_safe(reinterpret_cast<const char*>(stream.data()), reinterpret_cast<char*>(out.data()),
                             static_cast<int>(streamBytes), static_cast<int>(out.size())) ==
         static_cast<int>(out.size());
}

const Codec kCodecs[] = {
    {"ours", &OursCompress, &OursDecompress},
    {"zlib1", &ZlibCompress<1>, &ZlibDecompress},
    {"zlib6", &ZlibCompress<6>, &ZlibDecompress},
    {"lz4", &Lz4Compress, &Lz4Decompress},
};

void BM_Compress(benchmark::State& state, const Codec* codec, std::size_t bytes) {
  const auto items = Items(bytes);
  if (items.empty()) {
    state.SkipWithError("corpus too small");
    return;
  }
  Bytes out;
  std::size_t streamTotal = 0;
  for (auto _ : state) {
    streamTotal = 0;
    for (const Bytes& item : items) {
      const std::size_t size = codec->compress(item, out);
      if (size == 0) state.SkipWithError("compress failed");
      streamTotal += size;
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * items.size() * bytes));
  state.counters["ratio"] = static_cast<double>(streamTotal) / static_cast<double>(items.size() * bytes);
}

void BM_Decompress(benchmark::State& state, const Codec* codec, std::size_t bytes) {
  const auto items = Items(bytes);
  if (items.empty()) {
    state.SkipWithError("corpus too small");
    return;
  }
  std::vector<Bytes> streams(items.size());
  std::vector<std::size_t> sizes(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) sizes[i] = codec->compress(items[i], streams[i]);
  Bytes out(bytes);
  for (auto _ : state) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (!codec->decompress(streams[i], sizes[i], out)) state.SkipWithError("decompress failed");
      benchmark::DoNotOptimize(out.data());
    }
  }
  if (out != items.back()) state.SkipWithError("round trip differs");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * items.size() * bytes));
}

}  // namespace

int main(int argc, char** argv) {
  for (std::size_t kib : {32u, 64u, 100u}) {
    for (const Codec& codec : kCodecs) {
      const std::string suffix = std::string(codec.name) + "/" + std::to_string(kib);
      benchmark::RegisterBenchmark(("compress/" + suffix).c_str(), BM_Compress, &codec, kib * 1024)
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(("decompress/" + suffix).c_str(), BM_Decompress, &codec, kib * 1024)
          ->Unit(benchmark::kMicrosecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
