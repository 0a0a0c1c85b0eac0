#include "SettingsStream.h"

#include "RegularExpression.h"
#include "RegularExpressionData.h"

#include <algorithm>
#include <istream>
#include <ostream>

namespace RegexClass {

namespace {

using Data = tramex::RegularExpressionData;
using Field = Data::Field;

// The caller's number formatting (hex, boolalpha, showpos, a width, digit
// grouping of its locale) would write a text that cannot be read back, or
// misread one; it is set aside while the settings pass and then restored.
class PlainNumbers
{
public:
    explicit PlainNumbers(std::ios& stream)
        : m_stream(stream), m_flags(stream.flags()), m_width(stream.width()), m_locale(stream.getloc())
    {
        stream.flags(std::ios::dec | std::ios::skipws);
        stream.width(0);
        stream.imbue(std::locale::classic());
    }
    ~PlainNumbers()
    {
        m_stream.imbue(m_locale);
        m_stream.width(m_width);
        m_stream.flags(m_flags);
    }
    PlainNumbers(const PlainNumbers&) = delete;
    PlainNumbers& operator=(const PlainNumbers&) = delete;

private:
    std::ios& m_stream;
    std::ios::fmtflags m_flags;
    std::streamsize m_width;
    std::locale m_locale;
};

bool isText(Field field)
{
    switch (field) {
    case Field::Expression:
    case Field::StringToMatch:
    case Field::FilesToMatch:
    case Field::FormatString:
    case Field::SaveExtension:
    case Field::LocaleDll: return true;
    default: return false;
    }
}

// Reads exactly "length" bytes; memory grows with what the stream really
// holds, never with what a damaged length claims.
bool readText(std::istream& in, unsigned length, std::string& text)
{
    constexpr size_t kChunk = 64 * 1024;
    text.clear();
    size_t remaining = length;
    while (remaining > 0) {
        const size_t chunk = std::min(remaining, kChunk);
        const size_t old = text.size();
        text.resize(old + chunk);
        in.read(&text[old], std::streamsize(chunk));
        if (size_t(in.gcount()) != chunk)
            return false;
        remaining -= chunk;
    }
    return true;
}

// Reads a stored set: the count, then that many values.
template <class Insert>
bool readSet(std::istream& in, Insert insert)
{
    int count = 0;
    if (!(in >> count))
        return false;
    if (count < 0) {
        in.setstate(std::ios::failbit);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        int value = 0;
        if (!(in >> value))
            return false;
        insert(value);
    }
    return true;
}

} // namespace

void SettingsStream::Write(std::ostream& out, const Data& data)
{
    PlainNumbers plain(out);
    bool first = true;
    auto item = [&]() -> std::ostream& {
        if (!first)
            out.put(' ');
        first = false;
        return out;
    };
    item() << kVersion;
    for (Field field : Data::StoredFields(kVersion)) {
        switch (field) {
        case Field::ExpressionOptions:
        case Field::MatchOptions: {
            const std::set<int>& values = field == Field::ExpressionOptions ? data.GetExpressionOptions().Values()
                                                                             : data.GetMatchOptions().Values();
            item() << int(values.size());
            for (int value : values)
                item() << value;
            break;
        }
        case Field::MaximumSplits: item() << unsigned(data.GetMaximumSplits()); break;
        case Field::FormatType: item() << data.GetFormatType(); break;
        case Field::LocaleModel: item() << data.GetLocaleModel(); break;
        default:
            if (isText(field)) {
                const std::string& text = data.GetText(field);
                item() << unsigned(text.size());
                if (!text.empty())
                    out.put(' ').write(text.data(), std::streamsize(text.size()));
            } else {
                item() << (data.GetFlag(field) ? 1 : 0);
            }
            break;
        }
    }
}

void SettingsStream::Read(std::istream& in, Data& data)
{
    PlainNumbers plain(in);
    int version = 0;
    if (!(in >> version))
        return;
    if (version > kVersion) {
        in.setstate(std::ios::failbit);
        return;
    }
    if (version < 1)
        return;

    const std::vector<Field>& fields = Data::StoredFields(version);
    for (size_t index = 0; index < fields.size(); ++index) {
        const Field field = fields[index];
        switch (field) {
        case Field::ExpressionOptions:
            data.LoadClearExpressionOptions();
            if (!readSet(in, [&data](int value) { data.LoadExpressionOption(value); }))
                return;
            break;
        case Field::MatchOptions:
            data.LoadClearMatchOptions();
            if (!readSet(in, [&data](int value) { data.LoadMatchOption(value); }))
                return;
            break;
        case Field::MaximumSplits: {
            unsigned count = 0;
            if (!(in >> count))
                return;
            data.LoadMaximumSplits(count);
            break;
        }
        case Field::FormatType: {
            int type = 0;
            if (!(in >> type))
                return;
            data.LoadFormatType(type);
            break;
        }
        case Field::LocaleModel: {
            int model = 0;
            if (!(in >> model))
                return;
            // A model the component does not have would index past its
            // compiled expressions: the text is damaged.
            if (!data.LoadLocaleModel(model)) {
                in.setstate(std::ios::failbit);
                return;
            }
            break;
        }
        default:
            if (isText(field)) {
                unsigned length = 0;
                if (!(in >> length))
                    return;
                const bool last = index + 1 == fields.size();
                if (last && length == 0) {
                    data.LoadText(field, std::string());
                    return;
                }
                in.get(); // the blank behind the length
                if (!in)
                    return;
                std::string text;
                if (length != 0 && !readText(in, length, text))
                    return;
                data.LoadText(field, text);
            } else {
                bool on = false;
                if (!(in >> on))
                    return;
                data.LoadFlag(field, on);
            }
            break;
        }
    }
}

std::ostream& operator<<(std::ostream& out, const RegularExpression& re)
{
    SettingsStream::Write(out, *re.m_data);
    return out;
}

std::istream& operator>>(std::istream& in, RegularExpression& re)
{
    SettingsStream::Read(in, *re.m_data);
    return in;
}

} // namespace RegexClass
