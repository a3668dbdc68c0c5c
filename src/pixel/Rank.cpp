#include "pixel/Rank.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "pixel/ImgUtils.h"
#include "platform/core/Parallel.h"

// The rank filters work on the bytes of a row, the three channels alike (a neighbouring
// pixel is 3 bytes away), 64 bytes at a time. The median runs in two steps:
//   1. The window's columns are sorted once per output row and byte position (a
//      sorting network over the window's rows); a sorted column serves the 2R + 1
//      outputs beside it.
//   2. For each output, a fixed network of min and max operations takes the sorted
//      columns to the median. It sorts the rows of the column-sorted matrix (which keeps
//      the columns sorted), keeps only the entries that may still be the median (an
//      entry with at least k + 1 entries known to be at or below it, or at or above it,
//      cannot be, see MedianNetwork), merges those with odd-even merges and keeps only
//      the operations the middle output depends on. The network is built at compile
//      time from that description and run on vectors, straight-line.
// For 3 x 3 the columns are cheap enough to sort where they are needed, straight from
// the rows, which is faster than going through the buffer of sorted columns.

// The 64-byte vectors never cross a public interface, so their calling convention
// without AVX-512 does not matter.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace qm {
namespace {

// 64 bytes: one AVX-512 register, or two or four narrower ones.
typedef uint8_t Vec __attribute__((vector_size(64)));
constexpr int kLanes = 64;

inline Vec Load(const uint8_t* p) {
  Vec v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void Store(uint8_t* p, Vec v) { std::memcpy(p, &v, sizeof v); }
template <class T>
inline T Lo(T a, T b) { return a < b ? a : b; }
template <class T>
inline T Hi(T a, T b) { return a < b ? b : a; }

// --- Networks -------------------------------------------------------------------------

struct Pair {
  int a, b;
};

// Optimal sorting networks for 3, 5 and 7 values (checked by the 0-1 principle below).
constexpr std::array<Pair, 3> kSort3{{{0, 1}, {1, 2}, {0, 1}}};
constexpr std::array<Pair, 9> kSort5{{{0, 1}, {3, 4}, {2, 4}, {2, 3}, {0, 3}, {0, 2}, {1, 4}, {1, 3}, {1, 2}}};
constexpr std::array<Pair, 16> kSort7{{{0, 6}, {2, 3}, {4, 5}, {0, 2}, {1, 4}, {3, 6}, {0, 1}, {2, 5},
                                       {3, 4}, {1, 2}, {4, 6}, {2, 3}, {4, 5}, {1, 2}, {3, 4}, {5, 6}}};

template <int N>
constexpr auto SortNetwork() {
  if constexpr (N == 3) return kSort3;
  else if constexpr (N == 5) return kSort5;
  else return kSort7;
}

template <int N>
constexpr bool SortsEveryZeroOneInput() {
  constexpr auto net = SortNetwork<N>();
  for (int bits = 0; bits < (1 << N); ++bits) {
    int v[N] = {};
    for (int i = 0; i < N; ++i) v[i] = (bits >> i) & 1;
    for (const Pair& p : net)
      if (v[p.a] > v[p.b]) std::swap(v[p.a], v[p.b]);
    for (int i = 1; i < N; ++i)
      if (v[i - 1] > v[i]) return false;
  }
  return true;
}
static_assert(SortsEveryZeroOneInput<3>() && SortsEveryZeroOneInput<5>() && SortsEveryZeroOneInput<7>());

// One step of a network program: slot dst := min or max of slots a and b.
struct Op {
  uint16_t dst, a, b;
  bool max;
};

// The median of N x N values given as N sorted columns: input slot r * N + c holds
// the r-th smallest value of column c. Built as described at the top of the file.
template <int N>
struct MedianNetwork {
  static constexpr int kInputs = N * N;
  std::array<Op, 512> ops{};
  int count = 0;
  int slots = 0;
  uint16_t out = 0;
};

constexpr uint16_t kTop = 0xFFFF;  // a constant above every value (merge padding)

// Batcher's odd-even merge of two sorted halves of n (a power of two) wires.
constexpr void OddEvenMerge(int lo, int n, int r, std::array<Pair, 256>& pairs, int& count) {
  const int step = r * 2;
  if (step < n) {
    OddEvenMerge(lo, n, step, pairs, count);
    OddEvenMerge(lo + r, n, step, pairs, count);
    for (int i = lo + r; i + r < lo + n; i += step) pairs[size_t(count++)] = {i, i + r};
  } else {
    pairs[size_t(count++)] = {lo, lo + r};
  }
}

template <int N>
constexpr MedianNetwork<N> BuildMedianNetwork() {
  constexpr int M = N * N, k = M / 2;
  // 1. The whole network in single assignment: wire w < M is an input, wire M + i the
  // result of raw[i]. Operations on the constant top fold away.
  struct Raw {
    uint16_t a, b;
    bool max;
  };
  std::array<Raw, 2048> raw{};
  int nraw = 0;
  auto op = [&](bool max, uint16_t a, uint16_t b) -> uint16_t {
    if (a == b) return a;
    if (a == kTop || b == kTop) return max ? kTop : (a == kTop ? b : a);
    raw[size_t(nraw)] = {a, b, max};
    return uint16_t(M + nraw++);
  };
  auto cas = [&](uint16_t& x, uint16_t& y) {
    const uint16_t lo = op(false, x, y), hi = op(true, x, y);
    x = lo;
    y = hi;
  };
  std::array<uint16_t, M> w{};
  for (int i = 0; i < M; ++i) w[size_t(i)] = uint16_t(i);
  // Sort the rows of the column-sorted matrix.
  for (int r = 0; r < N; ++r)
    for (const Pair& p : SortNetwork<N>()) cas(w[size_t(r * N + p.a)], w[size_t(r * N + p.b)]);
  // Entry (r, c) has at least (r + 1)(c + 1) - 1 entries at or below it and
  // (N - r)(N - c) - 1 at or above it. More than k below: it is at or above the median;
  // more than M - 1 - k above: at or below it. Neither: it stays a candidate. Dropping
  // "below" entries shifts the median's rank among the candidates.
  struct Run {
    std::array<uint16_t, 64> v{};
    int len = 0;
  };
  std::array<Run, N> runs{};
  int nruns = N, below = 0;
  for (int r = 0; r < N; ++r)
    for (int c = 0; c < N; ++c) {
      if ((r + 1) * (c + 1) - 1 > k) continue;
      if ((N - r) * (N - c) - 1 > M - 1 - k) {
        ++below;
        continue;
      }
      Run& run = runs[size_t(r)];
      run.v[size_t(run.len++)] = w[size_t(r * N + c)];
    }
  // Merge the sorted candidate runs, the two shortest first.
  while (nruns > 1) {
    auto shortest = [&]() {
      int best = 0;
      for (int i = 1; i < nruns; ++i)
        if (runs[size_t(i)].len < runs[size_t(best)].len) best = i;
      Run taken = runs[size_t(best)];
      for (int i = best; i + 1 < nruns; ++i) runs[size_t(i)] = runs[size_t(i) + 1];
      --nruns;
      return taken;
    };
    const Run a = shortest();
    const Run b = shortest();
    int half = 1;
    while (half < a.len || half < b.len) half *= 2;
    std::array<uint16_t, 128> m{};
    for (int i = 0; i < 2 * half; ++i) m[size_t(i)] = kTop;
    for (int i = 0; i < a.len; ++i) m[size_t(i)] = a.v[size_t(i)];
    for (int i = 0; i < b.len; ++i) m[size_t(half + i)] = b.v[size_t(i)];
    std::array<Pair, 256> pairs{};
    int npairs = 0;
    OddEvenMerge(0, 2 * half, 1, pairs, npairs);
    for (int i = 0; i < npairs; ++i) cas(m[size_t(pairs[size_t(i)].a)], m[size_t(pairs[size_t(i)].b)]);
    Run merged;
    merged.len = a.len + b.len;
    for (int i = 0; i < merged.len; ++i) merged.v[size_t(i)] = m[size_t(i)];
    runs[size_t(nruns++)] = merged;
  }
  const uint16_t result = runs[0].v[size_t(k - below)];
  // 2. Keep what the result depends on.
  std::array<bool, 2048 + M> live{};
  live[result] = true;
  for (int i = nraw - 1; i >= 0; --i)
    if (live[size_t(M + i)]) live[raw[size_t(i)].a] = live[raw[size_t(i)].b] = true;
  // 3. Give each kept wire a slot, reusing the slots of wires no longer read.
  std::array<int, 2048 + M> lastUse{};
  for (int i = 0; i < M + nraw; ++i) lastUse[size_t(i)] = -1;
  for (int i = 0; i < nraw; ++i)
    if (live[size_t(M + i)]) lastUse[raw[size_t(i)].a] = lastUse[raw[size_t(i)].b] = i;
  lastUse[result] = 1 << 30;
  std::array<uint16_t, 2048 + M> slotOf{};
  std::array<bool, 2048 + M> busy{};
  MedianNetwork<N> net;
  for (int i = 0; i < M; ++i) {
    slotOf[size_t(i)] = uint16_t(i);
    busy[size_t(i)] = lastUse[size_t(i)] >= 0;
  }
  net.slots = M;
  for (int i = 0; i < nraw; ++i) {
    if (!live[size_t(M + i)]) continue;
    const Raw& r = raw[size_t(i)];
    Op o{0, slotOf[r.a], slotOf[r.b], r.max};
    if (lastUse[r.a] == i) busy[slotOf[r.a]] = false;
    if (lastUse[r.b] == i) busy[slotOf[r.b]] = false;
    int s = 0;
    while (busy[size_t(s)]) ++s;
    busy[size_t(s)] = true;
    net.slots = std::max(net.slots, s + 1);
    o.dst = uint16_t(s);
    slotOf[size_t(M + i)] = uint16_t(s);
    net.ops[size_t(net.count++)] = o;
  }
  net.out = slotOf[result];
  return net;
}

template <int N>
inline constexpr MedianNetwork<N> kMedianNetwork = BuildMedianNetwork<N>();

// Runs operations Begin .. Begin + sizeof...(I) - 1 of the network, unrolled.
template <class T, int N, size_t Begin, size_t... I>
inline void RunOps(T* v, std::index_sequence<I...>) {
  constexpr const MedianNetwork<N>& net = kMedianNetwork<N>;
  ((v[net.ops[Begin + I].dst] = net.ops[Begin + I].max ? Hi(v[net.ops[Begin + I].a], v[net.ops[Begin + I].b])
                                                        : Lo(v[net.ops[Begin + I].a], v[net.ops[Begin + I].b])),
   ...);
}

// The whole network, in blocks of 128 operations (compilers limit the length of a fold).
template <class T, int N, size_t Begin = 0>
inline void RunNetwork(T* v) {
  constexpr size_t count = size_t(kMedianNetwork<N>.count);
  if constexpr (Begin < count) {
    constexpr size_t len = std::min<size_t>(128, count - Begin);
    RunOps<T, N, Begin>(v, std::make_index_sequence<len>{});
    RunNetwork<T, N, Begin + len>(v);
  }
}

// in[r * N + c]: the r-th smallest of sorted column c (dx = c - R).
template <class T, int N>
inline T Median(const T* in) {
  constexpr const MedianNetwork<N>& net = kMedianNetwork<N>;
  T v[net.slots];
  for (int i = 0; i < N * N; ++i) v[i] = in[i];
  RunNetwork<T, N>(v);
  return v[net.out];
}

template <class T>
inline void CompareSwap(T& x, T& y) {
  const T lo = Lo(x, y), hi = Hi(x, y);
  x = lo;
  y = hi;
}

template <class T, int N, size_t... I>
inline void SortColumn(T* v, std::index_sequence<I...>) {
  constexpr auto net = SortNetwork<N>();
  (CompareSwap(v[net[I].a], v[net[I].b]), ...);
}

// --- Rows ---------------------------------------------------------------------------------

// Output bytes are computed in chunks, so that the sorted columns of a chunk stay in
// the first level cache (32 KB): N rows of at most 12 KB in all.
template <int R>
constexpr int kChunk = (12 * 1024 / (2 * R + 1)) / kLanes * kLanes;

struct RowJob {
  const uint8_t* const* rows;  // the 2R + 1 window rows, at the rect's left edge
  const uint8_t* centre;       // the pixel's own row
  uint8_t* out;
  int nb;                      // bytes in a row of the rect
  uint8_t threshold;
};

inline uint8_t Threshold(uint8_t c, uint8_t rank, uint8_t t) { return c < t ? c : rank; }

// The source byte a window column stands for: the same channel of pixel x + dx, or of
// x itself when x + dx lies outside the rect.
inline int WindowByte(int i, int dx, int nb) {
  const int j = i + 3 * dx;
  return j < 0 || j >= nb ? i : j;
}

template <int R>
class MedianRows {
  static constexpr int N = 2 * R + 1;
  static constexpr int kSpan = kChunk<R> + 6 * R + kLanes;  // a chunk, its margins, a vector of slack

 public:
  MedianRows() : sorted_(size_t(N) * kSpan) {}

  void Row(const RowJob& job) {
    if constexpr (R == 1) {
      if (job.nb >= 6 + kLanes) {
        Row3(job);
        return;
      }
    }
    for (int i0 = 0; i0 < job.nb; i0 += kChunk<R>) Chunk(job, i0, std::min(job.nb, i0 + kChunk<R>));
  }

 private:
  // 3 x 3: straight from the three rows, each column sorted where it is needed.
  void Row3(const RowJob& job) {
    const uint8_t* r0 = job.rows[0];
    const uint8_t* r1 = job.rows[1];
    const uint8_t* r2 = job.rows[2];
    const int end = job.nb - 3;  // interior bytes 3 .. nb - 4
    for (int i = 3; i < end; i += kLanes) {
      const int at = std::min(i, end - kLanes);  // the last vector overlaps the one before
      if (at + 1024 < job.nb) __builtin_prefetch(r2 + at + 1024);
      Vec in[9];
      for (int c = 0; c < 3; ++c) {
        Vec a = Load(r0 + at + 3 * (c - 1)), b = Load(r1 + at + 3 * (c - 1)), d = Load(r2 + at + 3 * (c - 1));
        CompareSwap(a, b);
        CompareSwap(b, d);
        CompareSwap(a, b);
        in[c] = a;
        in[3 + c] = b;
        in[6 + c] = d;
      }
      const Vec med = Median<Vec, 3>(in);
      const Vec centre = Load(job.centre + at);
      Store(job.out + at, centre < job.threshold ? centre : med);
    }
    // the rect's first and last pixels, their missing neighbours standing for themselves
    for (int i : {0, 1, 2, job.nb - 3, job.nb - 2, job.nb - 1}) {
      uint8_t in[9];
      for (int c = 0; c < 3; ++c) {
        const int j = WindowByte(i, c - 1, job.nb);
        uint8_t a = r0[j], b = r1[j], d = r2[j];
        CompareSwap(a, b);
        CompareSwap(b, d);
        CompareSwap(a, b);
        in[c] = a;
        in[3 + c] = b;
        in[6 + c] = d;
      }
      job.out[i] = Threshold(job.centre[i], Median<uint8_t, 3>(in), job.threshold);
    }
  }

  uint8_t* Sorted(int r) { return &sorted_[size_t(r) * kSpan]; }

  // Sorts the window's columns for bytes s0 .. s1 - 1 into sorted_ (index j - s0).
  void SortColumns(const RowJob& job, int s0, int s1) {
    const uint8_t* rows[N];
    for (int r = 0; r < N; ++r) rows[r] = job.rows[r];
    for (int j = s0; j < s1; j += kLanes) {
      Vec v[N];
      // the window's last row is read here for the first time: fetch it ahead
      if (j + 1024 < job.nb) __builtin_prefetch(rows[N - 1] + j + 1024);
      if (j + kLanes <= job.nb) {  // may read past s1, never past the rect
        for (int r = 0; r < N; ++r) v[r] = Load(rows[r] + j);
      } else {
        uint8_t tail[N][kLanes] = {};
        for (int r = 0; r < N; ++r) {
          std::memcpy(tail[r], rows[r] + j, size_t(job.nb - j));
          v[r] = Load(tail[r]);
        }
      }
      SortColumn<Vec, N>(v, std::make_index_sequence<SortNetwork<N>().size()>{});
      for (int r = 0; r < N; ++r) Store(Sorted(r) + (j - s0), v[r]);
    }
  }

  void Chunk(const RowJob& job, int i0, int i1) {
    const int s0 = std::max(0, i0 - 3 * R), s1 = std::min(job.nb, i1 + 3 * R);
    SortColumns(job, s0, s1);
    // Bytes whose whole window lies inside the rect.
    const int a = std::max(i0, 3 * R), b = std::min(i1, job.nb - 3 * R);
    for (int i = a; i < b; i += kLanes) {
      Vec in[N * N];
      for (int r = 0; r < N; ++r)
        for (int c = 0; c < N; ++c) in[r * N + c] = Load(Sorted(r) + (i + 3 * (c - R) - s0));
      const Vec med = Median<Vec, N>(in);
      if (i + kLanes <= b) {
        const Vec centre = Load(job.centre + i);
        Store(job.out + i, centre < job.threshold ? centre : med);
      } else {  // the last, partial vector
        uint8_t res[kLanes];
        Store(res, med);
        for (int j = i; j < b; ++j) job.out[j] = Threshold(job.centre[j], res[j - i], job.threshold);
      }
    }
    // Bytes near the rect's left and right edges, gathered into one vector: their
    // window columns outside the rect stand for the pixel's own column.
    int edge[kLanes];
    int ne = 0;
    for (int i = i0; i < std::min(i1, a); ++i) edge[ne++] = i;
    for (int i = std::max(i0, std::max(a, b)); i < i1; ++i) edge[ne++] = i;
    for (int e0 = 0; e0 < ne; e0 += kLanes) {
      const int cnt = std::min(kLanes, ne - e0);
      alignas(64) uint8_t in[N * N][kLanes] = {};
      for (int l = 0; l < cnt; ++l) {
        const int i = edge[e0 + l];
        for (int c = 0; c < N; ++c) {
          const int j = WindowByte(i, c - R, job.nb) - s0;
          for (int r = 0; r < N; ++r) in[r * N + c][l] = Sorted(r)[j];
        }
      }
      Vec vin[N * N];
      for (int t = 0; t < N * N; ++t) vin[t] = Load(in[t]);
      uint8_t res[kLanes];
      Store(res, Median<Vec, N>(vin));
      for (int l = 0; l < cnt; ++l) {
        const int i = edge[e0 + l];
        job.out[i] = Threshold(job.centre[i], res[l], job.threshold);
      }
    }
  }

  std::vector<uint8_t> sorted_;
};

// Minimum or maximum: separable, as the window's rows and columns outside the rect
// only repeat values already in it.
template <int R, bool Max>
class ExtremeRows {
  static constexpr int kSpan = kChunk<R> + 6 * R + kLanes;

 public:
  ExtremeRows() : col_(size_t(kSpan)) {}

  // The middle of a row 64 bytes at a time straight from the rows: the extreme of each
  // column of the window for three blocks in registers, the neighbouring columns taken
  // out of them by byte shuffles; its ends through the buffer of column extremes.
  void Row(const RowJob& job) {
    constexpr int N = 2 * R + 1;
    if (job.nb < 4 * kLanes) {
      for (int i0 = 0; i0 < job.nb; i0 += kChunk<R>) Chunk(job, i0, std::min(job.nb, i0 + kChunk<R>));
      return;
    }
    const uint8_t* rows[N];
    for (int r = 0; r < N; ++r) rows[r] = job.rows[r];
    auto column = [&](int j) {
      Vec v = Load(rows[0] + j);
      for (int r = 1; r < N; ++r) v = Pick(v, Load(rows[r] + j));
      return v;
    };
    Vec prev = column(0), cur = column(kLanes);
    int i = kLanes;
    for (; i + 2 * kLanes <= job.nb; i += kLanes) {
      if (i + 1024 < job.nb) __builtin_prefetch(rows[N - 1] + i + 1024);
      const Vec next = column(i + kLanes);
      Vec v = cur;
      Around(v, prev, cur, next, std::make_index_sequence<R>{});
      const Vec c = Load(job.centre + i);
      Store(job.out + i, c < job.threshold ? c : v);
      prev = cur;
      cur = next;
    }
    Chunk(job, 0, kLanes);
    Chunk(job, i, job.nb);
  }

 private:
  template <class T>
  static T Pick(T a, T b) {
    if constexpr (Max) return Hi(a, b);
    else return Lo(a, b);
  }

  // Bytes D .. D + 63 of the 128 bytes lo:hi.
  template <int D, size_t... I>
  static Vec Bytes(Vec lo, Vec hi, std::index_sequence<I...>) {
    return __builtin_shufflevector(lo, hi, int(I + D)...);
  }

  // v := extreme of v and the columns 3, 6, .. 3R bytes to each side.
  template <size_t... K>
  static void Around(Vec& v, Vec prev, Vec cur, Vec next, std::index_sequence<K...>) {
    ((v = Pick(v, Pick(Bytes<kLanes - 3 * int(K + 1)>(prev, cur, std::make_index_sequence<kLanes>{}),
                       Bytes<3 * int(K + 1)>(cur, next, std::make_index_sequence<kLanes>{})))),
     ...);
  }

  void Chunk(const RowJob& job, int i0, int i1) {
    constexpr int N = 2 * R + 1;
    const int s0 = std::max(0, i0 - 3 * R), s1 = std::min(job.nb, i1 + 3 * R);
    const uint8_t* rows[N];
    for (int r = 0; r < N; ++r) rows[r] = job.rows[r];
    uint8_t* col = col_.data();
    // The extreme of each column of the window (may read past s1, never past the rect).
    int j = s0;
    for (; j < s1 && j + kLanes <= job.nb; j += kLanes) {
      if (j + 1024 < job.nb) __builtin_prefetch(rows[N - 1] + j + 1024);  // read here for the first time
      Vec v = Load(rows[0] + j);
      for (int r = 1; r < N; ++r) v = Pick(v, Load(rows[r] + j));
      Store(col + (j - s0), v);
    }
    for (; j < s1; ++j) {
      uint8_t v = rows[0][j];
      for (int r = 1; r < N; ++r) v = Pick(v, rows[r][j]);
      col[j - s0] = v;
    }
    // Then of the columns beside each byte.
    const int a = std::max(i0, 3 * R), b = std::min(i1, job.nb - 3 * R);
    for (int i = a; i < b; i += kLanes) {
      const uint8_t* p = col + (i - s0);
      Vec v = Load(p - 3 * R);
      for (int d = -R + 1; d <= R; ++d) v = Pick(v, Load(p + 3 * d));
      if (i + kLanes <= b) {
        const Vec c = Load(job.centre + i);
        Store(job.out + i, c < job.threshold ? c : v);
      } else {  // the last, partial vector
        uint8_t res[kLanes];
        Store(res, v);
        for (int e = i; e < b; ++e) job.out[e] = Threshold(job.centre[e], res[e - i], job.threshold);
      }
    }
    for (int e = i0; e < std::min(i1, a); ++e)
      job.out[e] = Threshold(job.centre[e], Extreme(col, e, s0, job.nb), job.threshold);
    for (int e = std::max(i0, std::max(a, b)); e < i1; ++e)
      job.out[e] = Threshold(job.centre[e], Extreme(col, e, s0, job.nb), job.threshold);
  }

  static uint8_t Extreme(const uint8_t* col, int i, int s0, int nb) {
    uint8_t v = col[i - s0];
    for (int d = -R; d <= R; ++d) v = Pick(v, col[WindowByte(i, d, nb) - s0]);
    return v;
  }

  std::vector<uint8_t> col_;
};

template <int R, class Rows>
void RunRows(TBitmap& dst, const TBitmap& src, const TRect& rect, uint8_t threshold) {
  const int nb = rect.Width() * 3;
  const ptrdiff_t left = ptrdiff_t(rect.Left) * 3;
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height() * (2 * R + 1), [&](int y0, int y1) {
    Rows rows;
    const uint8_t* window[2 * R + 1];
    for (int y = y0; y < y1; ++y) {
      for (int d = -R; d <= R; ++d) {
        const int yy = y + d < rect.Top || y + d >= rect.Bottom ? y : y + d;
        window[d + R] = src.ScanLine(yy) + left;
      }
      rows.Row(RowJob{window, src.ScanLine(y) + left, dst.ScanLine(y) + left, nb, threshold});
    }
  });
}

template <int R>
void RankWindow(TBitmap& dst, const TBitmap& src, TRankMode mode, const TRect& rect, uint8_t threshold) {
  if (mode == rkMinimum) RunRows<R, ExtremeRows<R, false>>(dst, src, rect, threshold);
  else if (mode == rkMaximum) RunRows<R, ExtremeRows<R, true>>(dst, src, rect, threshold);
  else RunRows<R, MedianRows<R>>(dst, src, rect, threshold);
}

}  // namespace

void ApplyRankFilter(TBitmap& dst, TBitmap& src, TRankMode mode, TRect rect, int threshold, int radius) {
  if (threshold < 0 || threshold > 255) return;
  ClipRectToBitmap(rect, src);
  if (rect.IsEmpty()) return;
  if (src.PixelFormat() != pf24bit) src.SetPixelFormat(pf24bit);
  if (dst.PixelFormat() != pf24bit) dst.SetPixelFormat(pf24bit);
  if (dst.Width() != src.Width() || dst.Height() != src.Height()) dst.SetSize(src.Width(), src.Height());
  TBitmap copy;
  const TBitmap* from = &src;
  if (&dst == &src) {  // every window reads the source as it was before the filter
    copy = src.Clone();
    from = &copy;
  }
  const uint8_t t = uint8_t(threshold);
  if (radius <= 1) RankWindow<1>(dst, *from, mode, rect, t);
  else if (radius == 2) RankWindow<2>(dst, *from, mode, rect, t);
  else RankWindow<3>(dst, *from, mode, rect, t);
}

void RankFilter(TBitmap& layer, TBitmap& source, TRankMode mode, const TRankFilterParams& params, TRect rect) {
  if (InHardRange(params)) ApplyRankFilter(layer, source, mode, rect, params.Threshold, params.Radius + 1);
}

}  // namespace qm
