#include "exec/line_splitter.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace exec {

qsizetype LineSplitter::findSpecial(const char *p, qsizetype i, qsizetype n)
{
#if defined(__SSE2__)
    // Sixteen bytes at a time: most output is ordinary text.
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)),
                                         _mm_cmpeq_epi8(v, zero));
        const int mask = _mm_movemask_epi8(hit);
        if (mask)
            return i + __builtin_ctz(unsigned(mask));
        i += 16;
    }
#endif
    for (; i < n; ++i) {
        const char c = p[i];
        if (c == '\n' || c == '\r' || c == 0)
            return i;
    }
    return n;
}

} // namespace exec
