#include "platform/charset.h"

#include <cerrno>
#include <clocale>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

namespace platform {

namespace {
const iconv_t kNone = iconv_t(-1);
}

QByteArray localeCharset()
{
    // The environment's locale, not the one this process happens to have
    // set: the child programs start from the environment.
    const locale_t loc = ::newlocale(LC_CTYPE_MASK, "", locale_t(nullptr));
    if (loc == locale_t(nullptr))
        return QByteArrayLiteral("ANSI_X3.4-1968");
    QByteArray name(::nl_langinfo_l(CODESET, loc));
    ::freelocale(loc);
    return name;
}

// Wide characters, as libisofs reads names. The input side of a conversion
// is read first, so a sequence that is no character is told apart from one
// the output cannot hold.
struct Charset::Handles
{
    iconv_t toWide = kNone;
    ~Handles()
    {
        if (toWide != kNone)
            ::iconv_close(toWide);
    }
};

Charset::Charset(const QByteArray &name) : m(std::make_unique<Handles>())
{
    m->toWide = ::iconv_open("WCHAR_T", name.constData());
}

Charset::~Charset() = default;

bool Charset::isValid() const { return m->toWide != kNone; }

namespace {
// One pass of iconv over `bytes`. With `chars`, every character is kept and
// a byte that starts none becomes U+FFFD, the reading going on at the next
// byte; without, the first such byte ends the pass. The verdict is that of
// the first byte that starts no character.
Charset::Verdict convert(iconv_t cd, const QByteArray &bytes, std::vector<char32_t> *chars)
{
    Charset::Verdict verdict = Charset::Whole;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    wchar_t out[128];
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    while (inLeft > 0) {
        char *o = reinterpret_cast<char *>(out);
        size_t outLeft = sizeof out;
        const size_t r = ::iconv(cd, &in, &inLeft, &o, &outLeft);
        const int err = errno;
        if (chars) {
            const size_t n = size_t(o - reinterpret_cast<char *>(out)) / sizeof(wchar_t);
            for (size_t i = 0; i < n; ++i)
                chars->push_back(char32_t(out[i]));
        }
        if (r != size_t(-1) || err == E2BIG)
            continue;
        if (verdict == Charset::Whole)
            verdict = err == EINVAL ? Charset::CutShort : Charset::Invalid;
        if (!chars)
            break;
        chars->push_back(U'\xFFFD');
        ++in;
        --inLeft;
    }
    return verdict;
}
} // namespace

Charset::Verdict Charset::judge(const QByteArray &bytes) const
{
    return m->toWide == kNone ? Invalid : convert(m->toWide, bytes, nullptr);
}

std::vector<char32_t> Charset::characters(const QByteArray &bytes) const
{
    std::vector<char32_t> chars;
    if (m->toWide != kNone)
        convert(m->toWide, bytes, &chars);
    return chars;
}

} // namespace platform
