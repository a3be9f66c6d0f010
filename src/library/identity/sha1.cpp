#include "library/identity/sha1.h"

#include <cstring>
#include <utility>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUORVANE_SHA_INSTRUCTIONS 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace library {

namespace {

#ifdef QUORVANE_SHA_INSTRUCTIONS

#define SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

// Four rounds of group k (0 to 19): the message schedule runs three groups ahead in msg[], and
// the E value of the rounds alternates between e[0] and e[1].
template <int k>
SHA_TARGET inline void fourRounds(__m128i &abcd, __m128i (&e)[2], __m128i (&msg)[4])
{
    __m128i &next = e[k % 2], &other = e[(k + 1) % 2];
    const __m128i words = msg[k % 4];
    next = k == 0 ? _mm_add_epi32(next, words) : _mm_sha1nexte_epu32(next, words);
    other = abcd;
    if constexpr (k >= 3 && k <= 18)
        msg[(k + 1) % 4] = _mm_sha1msg2_epu32(msg[(k + 1) % 4], words);
    abcd = _mm_sha1rnds4_epu32(abcd, next, k / 5);
    if constexpr (k >= 1 && k <= 16)
        msg[(k + 3) % 4] = _mm_sha1msg1_epu32(msg[(k + 3) % 4], words);
    if constexpr (k >= 2 && k <= 17)
        msg[(k + 2) % 4] = _mm_xor_si128(msg[(k + 2) % 4], words);
}

template <int... k>
SHA_TARGET inline void allRounds(__m128i &abcd, __m128i (&e)[2], __m128i (&msg)[4], const uchar *block,
                                 std::integer_sequence<int, k...>)
{
    const __m128i bigEndian = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    for (int i = 0; i < 4; ++i)
        msg[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(block + 16 * i)), bigEndian);
    (fourRounds<k>(abcd, e, msg), ...);
}

SHA_TARGET void blocksWithInstructions(uint32_t *state, const uchar *data, size_t count)
{
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(state)), 0x1B);
    __m128i e[2] = {_mm_set_epi32(int(state[4]), 0, 0, 0), _mm_setzero_si128()};
    for (; count > 0; --count, data += 64) {
        const __m128i abcdBefore = abcd, eBefore = e[0];
        __m128i msg[4];
        allRounds(abcd, e, msg, data, std::make_integer_sequence<int, 20>());
        e[0] = _mm_sha1nexte_epu32(e[0], eBefore);
        abcd = _mm_add_epi32(abcd, abcdBefore);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = uint32_t(_mm_extract_epi32(e[0], 3));
}

bool hasInstructions()
{
    // CPUID: leaf 1 has SSSE3 (ECX bit 9) and SSE4.1 (ECX bit 19), leaf 7 the SHA extensions (EBX bit 29).
    static const bool has = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & (1u << 9)) || !(c & (1u << 19)))
            return false;
        return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29));
    }();
    return has;
}

#else

void blocksWithInstructions(uint32_t *, const uchar *, size_t) {}
bool hasInstructions() { return false; }

#endif

} // namespace

Sha1::Sha1() : m_fast(hasInstructions()), m_state{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u} {}

bool Sha1::usesProcessorInstructions() { return hasInstructions(); }

void Sha1::addBlocks(const uchar *blocks, size_t count) { blocksWithInstructions(m_state.data(), blocks, count); }

void Sha1::addData(QByteArrayView bytes)
{
    if (bytes.isEmpty()) // an empty view may hold no pointer at all, which no copy may be given
        return;
    if (!m_fast) {
        m_portable.addData(bytes);
        return;
    }
    m_length += quint64(bytes.size());
    auto data = reinterpret_cast<const uchar *>(bytes.data());
    size_t left = size_t(bytes.size());
    if (m_pendingSize > 0) {
        const size_t taken = std::min(left, m_pending.size() - m_pendingSize);
        std::memcpy(m_pending.data() + m_pendingSize, data, taken);
        m_pendingSize += taken;
        data += taken;
        left -= taken;
        if (m_pendingSize < m_pending.size())
            return;
        addBlocks(m_pending.data(), 1);
        m_pendingSize = 0;
    }
    addBlocks(data, left / 64);
    m_pendingSize = left % 64;
    std::memcpy(m_pending.data(), data + left - m_pendingSize, m_pendingSize);
}

QByteArray Sha1::result()
{
    if (!m_fast)
        return m_portable.result();
    // The padding: a one bit, zeros, and the length in bits, big-endian, ending a block.
    const quint64 bits = m_length * 8;
    std::array<uchar, 72> tail{};
    tail[0] = 0x80;
    const size_t zeros = (m_pendingSize < 56 ? 56 : 120) - m_pendingSize - 1;
    for (int i = 0; i < 8; ++i)
        tail[1 + zeros + size_t(i)] = uchar(bits >> (56 - 8 * i));
    addData(QByteArrayView(reinterpret_cast<const char *>(tail.data()), qsizetype(1 + zeros + 8)));
    QByteArray sum(20, Qt::Uninitialized);
    for (int i = 0; i < 20; ++i)
        sum[i] = char(m_state[size_t(i / 4)] >> (24 - 8 * (i % 4)));
    return sum;
}

} // namespace library
