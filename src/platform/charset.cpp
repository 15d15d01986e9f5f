#include "platform/charset.h"

#include "platform/cp1252.h"
#include "tags/id3v1tag.h"
#include "tags/utf8.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace km {

const std::array<TCharsetInfo, kCharsetCount> Charsets {{
    {"Westeuropäisch (Windows-1252)", "windows-1252", ""},
    {"Mitteleuropäisch (Windows-1250)", "windows-1250", "CP1250"},
    {"Kyrillisch (Windows-1251)", "windows-1251", "CP1251"},
    {"Kyrillisch (KOI8-R)", "koi8-r", "KOI8-R"},
    {"Griechisch (Windows-1253)", "windows-1253", "CP1253"},
    {"Türkisch (Windows-1254)", "windows-1254", "CP1254"},
    {"Hebräisch (Windows-1255)", "windows-1255", "CP1255"},
    {"Arabisch (Windows-1256)", "windows-1256", "CP1256"},
    {"Baltisch (Windows-1257)", "windows-1257", "CP1257"},
    {"Vietnamesisch (Windows-1258)", "windows-1258", "CP1258"},
    {"Thailändisch (Windows-874)", "windows-874", "CP874"},
    // Windows' own table: glibc's SHIFT_JIS maps 0x5C to the yen sign and lacks Windows' extra rows.
    {"Japanisch (Shift_JIS, Windows)", "shift_jis", "CP932", true},
    {"Chinesisch vereinfacht (GBK)", "gbk", "CP936", true},
    {"Chinesisch traditionell (Big5)", "big5", "CP950", true},
    {"Koreanisch (EUC-KR)", "euc-kr", "CP949", true},
}};

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// One converter a direction and set for each thread, opened once: opening costs more than most texts.
bool Usable(iconv_t cd) { return cd != reinterpret_cast<iconv_t>(-1); }

// Closed with the thread.
struct TConverters {
    std::map<std::pair<std::string, std::string>, iconv_t> Open;
    ~TConverters()
    {
        for (const auto& [key, cd] : Open)
            if (Usable(cd))
                iconv_close(cd);
    }
};

iconv_t Converter(const char* to, const char* from)
{
    thread_local TConverters converters;
    const auto key = std::make_pair(std::string(to), std::string(from));
    if (const auto it = converters.Open.find(key); it != converters.Open.end()) {
        iconv(it->second, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        return it->second;
    }
    const iconv_t cd = iconv_open(to, from);
    converters.Open.emplace(key, cd);
    return cd;
}

// Converts what iconv takes of `in`; stops at a byte it cannot, which stays in `in`.
void Run(iconv_t cd, std::string_view& in, std::string& out)
{
    char buffer[256];
    while (!in.empty()) {
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        in.remove_prefix(in.size() - left);
        if (r != static_cast<std::size_t>(-1) || errno != E2BIG)
            return;
    }
}

// What a stateful converter still holds (the base letter waiting for a combining mark).
void Flush(iconv_t cd, std::string& out)
{
    char buffer[64];
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
}

// The bytes of the first character of a multi-byte set: converted alone, into
// room for exactly one; an undefined or cut-off one counts a byte.
std::size_t CharLength(const char* converter, std::string_view rest)
{
    const iconv_t cd = Converter("UTF-32LE", converter);
    if (!Usable(cd))
        return 1;
    char* src = const_cast<char*>(rest.data());
    std::size_t left = rest.size();
    char out[4];
    char* dst = out;
    std::size_t room = sizeof out;
    iconv(cd, &src, &left, &dst, &room);
    const std::size_t length = rest.size() - left;
    return length == 0 ? 1 : length;
}

// What the converter makes of each byte and, in a set of several bytes a
// character, of each pair: decoding by it needs no converter call a
// character. Sets whose converter joins a combining mark to the letter
// before it (Hebrew, Vietnamese) have none.
struct TTable {
    static constexpr char32_t kLead = 0xFFFFFFFF; // a byte that starts a pair
    std::array<char32_t, 256> Single {};
    std::vector<char32_t> Pairs; // by lead * 256 + trail; kReplacement where undefined
};

// The one character `in` decodes to whole; none when it is undefined, cut off or more than one.
bool DecodeAlone(iconv_t cd, std::string_view in, char32_t& c, bool& cutOff)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char out[8];
    char* dst = out;
    std::size_t room = sizeof out;
    const std::size_t r = iconv(cd, &src, &left, &dst, &room);
    cutOff = r == static_cast<std::size_t>(-1) && errno == EINVAL;
    if (r == static_cast<std::size_t>(-1) || left != 0 || dst - out != 4)
        return false;
    c = static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8
        | static_cast<unsigned char>(out[2]) << 16 | static_cast<char32_t>(static_cast<unsigned char>(out[3])) << 24;
    return true;
}

std::unique_ptr<TTable> BuildTable(const TCharsetInfo& info)
{
    const std::string_view converter = info.Converter;
    if (converter == "CP1255" || converter == "CP1258")
        return nullptr;
    const iconv_t cd = iconv_open("UTF-32LE", info.Converter);
    if (!Usable(cd))
        return nullptr;
    auto table = std::make_unique<TTable>();
    bool cutOff = false;
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        char32_t c = kReplacement;
        if (!DecodeAlone(cd, std::string_view(&byte, 1), c, cutOff))
            c = info.MultiByte && cutOff ? TTable::kLead : kReplacement;
        table->Single[static_cast<std::size_t>(b)] = c;
    }
    if (info.MultiByte) {
        table->Pairs.assign(65536, kReplacement);
        for (int lead = 0; lead < 256; ++lead) {
            if (table->Single[static_cast<std::size_t>(lead)] != TTable::kLead)
                continue;
            for (int trail = 0; trail < 256; ++trail) {
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char32_t c = kReplacement;
                if (DecodeAlone(cd, std::string_view(pair, 2), c, cutOff))
                    table->Pairs[static_cast<std::size_t>(lead * 256 + trail)] = c;
            }
        }
    }
    iconv_close(cd);
    return table;
}

const TTable* TableOf(const TCharsetInfo& info)
{
    static std::array<std::once_flag, kCharsetCount> once;
    static std::array<std::unique_ptr<TTable>, kCharsetCount> tables;
    const auto k = static_cast<std::size_t>(&info - Charsets.data());
    std::call_once(once[k], [&] { tables[k] = BuildTable(info); });
    return tables[k].get();
}

std::atomic<const TCharsetInfo*> g_id3v1 {&Charsets[0]};

} // namespace

const TCharsetInfo* FindCharset(std::string_view name)
{
    for (const TCharsetInfo& info : Charsets)
        if (SameName(name, info.Name))
            return &info;
    return nullptr;
}

const TCharsetInfo& CharsetOrDefault(std::string_view name)
{
    const TCharsetInfo* info = FindCharset(name);
    return info ? *info : Charsets[0];
}

std::string CharsetNames()
{
    std::string out;
    for (const TCharsetInfo& info : Charsets)
        out += (out.empty() ? "" : ", ") + std::string(info.Name);
    return out;
}

std::string TCharset::ToUtf8(std::string_view bytes) const
{
    if (IsDefault())
        return Cp1252ToUtf8(bytes);
    std::string out;
    const iconv_t cd = Converter("UTF-8", m_info->Converter);
    if (!Usable(cd)) {
        for (std::size_t k = 0; k < bytes.size(); ++k)
            AppendUtf8(out, bytes[k] & 0x80 ? kReplacement : char32_t(bytes[k]));
        return out;
    }
    while (!bytes.empty()) {
        Run(cd, bytes, out);
        if (bytes.empty())
            break;
        // A byte the set leaves undefined, or a character cut off at the end.
        Flush(cd, out);
        AppendUtf8(out, kReplacement);
        bytes.remove_prefix(1);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    Flush(cd, out);
    return out;
}

std::string TCharset::FromUtf8(std::string_view utf8) const
{
    if (IsDefault())
        return Utf8ToCp1252(utf8);
    std::string out;
    const iconv_t cd = Converter(m_info->Converter, "UTF-8");
    while (!utf8.empty()) {
        if (Usable(cd))
            Run(cd, utf8, out);
        if (utf8.empty())
            break;
        // A character the set cannot hold (or broken UTF-8): one "?" for it.
        if (Usable(cd))
            Flush(cd, out);
        out += '?';
        std::size_t next = 0;
        NextUtf8(utf8, next);
        utf8.remove_prefix(next);
        if (Usable(cd))
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    if (Usable(cd))
        Flush(cd, out);
    return out;
}

QString TCharset::ToQString(std::string_view bytes) const
{
    if (IsDefault())
        return Cp1252ToQString(bytes);
    const std::string utf8 = ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string TCharset::FromQString(const QString& text) const
{
    if (IsDefault())
        return QStringToCp1252(text);
    return FromUtf8(text.toStdString());
}

std::size_t TCharset::Fit(std::string_view bytes, std::size_t width) const
{
    if (bytes.size() <= width)
        return bytes.size();
    if (!m_info->MultiByte)
        return width;
    std::size_t at = 0;
    char32_t c = 0;
    while (at < bytes.size()) {
        const std::size_t length = TableOf(*m_info) ? Step(bytes, at, c) : CharLength(m_info->Converter, bytes.substr(at));
        if (at + length > width)
            break;
        at += length;
    }
    return at;
}

std::size_t TCharset::Step(std::string_view bytes, std::size_t at, char32_t& c) const
{
    if (IsDefault()) {
        c = Cp1252ToUnicode(static_cast<std::uint8_t>(bytes[at]));
        return 1;
    }
    if (const TTable* table = TableOf(*m_info)) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        c = table->Single[lead];
        if (c != TTable::kLead)
            return 1;
        c = at + 1 < bytes.size() ? table->Pairs[lead * 256u + static_cast<unsigned char>(bytes[at + 1])] : kReplacement;
        return c == kReplacement ? 1 : 2;
    }
    const std::size_t length = m_info->MultiByte ? CharLength(m_info->Converter, bytes.substr(at)) : 1;
    const std::string utf8 = ToUtf8(bytes.substr(at, length));
    std::size_t i = 0;
    c = utf8.empty() ? kReplacement : NextUtf8(utf8, i);
    return length;
}

bool TCharset::StepsAlone() const { return !IsDefault() && TableOf(*m_info) != nullptr; }

std::string TCharset::Encode(char32_t c) const
{
    std::string utf8;
    AppendUtf8(utf8, c);
    const std::string bytes = FromUtf8(utf8);
    return bytes == "?" && c != U'?' ? std::string() : bytes;
}

const TCharset& ID3v1Charset()
{
    thread_local const TCharsetInfo* seen = nullptr;
    thread_local TCharset charset(Charsets[0]);
    const TCharsetInfo* now = g_id3v1.load(std::memory_order_relaxed);
    if (now != seen) {
        charset = TCharset(*now);
        seen = now;
    }
    return charset;
}

void StoreID3v1Text(char* field, std::size_t width, const QString& text)
{
    const TCharset& charset = ID3v1Charset();
    const std::string bytes = charset.FromQString(text);
    StoreField(field, width, std::string_view(bytes).substr(0, charset.Fit(bytes, width)));
}

void SetID3v1Charset(const TCharsetInfo& info) { g_id3v1.store(&info, std::memory_order_relaxed); }

} // namespace km
