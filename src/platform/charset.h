#pragma once
// Names in a character set, read through the C library's iconv as the
// image builders read them.
#include <QByteArray>

#include <memory>
#include <vector>

namespace platform {

// The character set of the locale the programs Spindle starts inherit
// (LC_ALL, LC_CTYPE, LANG), as the C library names it: "UTF-8",
// "ANSI_X3.4-1968" for the C locale.
QByteArray localeCharset();

class Charset
{
public:
    // An unknown name gives a Charset that is not valid.
    explicit Charset(const QByteArray &name);
    ~Charset();
    Charset(const Charset &) = delete;
    Charset &operator=(const Charset &) = delete;
    bool isValid() const;

    enum Verdict { Whole, Invalid, CutShort };
    // Whole: every byte is part of a character. Invalid: a byte sequence
    // no character has (iconv's EILSEQ). CutShort: only the last character
    // is incomplete (EINVAL).
    Verdict judge(const QByteArray &bytes) const;
    // The characters of `bytes`; a byte that starts no character gives
    // U+FFFD and the reading goes on at the next byte.
    std::vector<char32_t> characters(const QByteArray &bytes) const;

private:
    struct Handles;
    std::unique_ptr<Handles> m;
};

} // namespace platform
