#include "ftp/FTPListingParser.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>
#include <array>

namespace airlark::FTPListingParser {

namespace {

struct Token
{
    QByteArray text;
    qsizetype end = 0; // offset just past the token in its line
};

std::vector<Token> tokenize(const QByteArray& line, int maximum)
{
    std::vector<Token> tokens;
    qsizetype position = 0;
    while (position < line.size() && static_cast<int>(tokens.size()) < maximum) {
        while (position < line.size() && line[position] == ' ')
            ++position;
        if (position >= line.size())
            break;
        const qsizetype start = position;
        while (position < line.size() && line[position] != ' ')
            ++position;
        tokens.push_back({line.mid(start, position - start), position});
    }
    return tokens;
}

int monthNumber(const QByteArray& token)
{
    static const std::array<const char*, 12> names{"jan", "feb", "mar", "apr", "may", "jun",
                                                   "jul", "aug", "sep", "oct", "nov", "dec"};
    const QByteArray lower = token.toLower();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (lower == names[i])
            return static_cast<int>(i) + 1;
    }
    return 0;
}

bool isNumber(const QByteArray& token)
{
    bool ok = false;
    token.toLongLong(&ok);
    return ok && !token.isEmpty();
}

int modeFromPermissions(const QByteArray& permissions)
{
    int mode = 0;
    static const char letters[] = "rwxrwxrwx";
    for (int i = 0; i < 9 && i + 1 < permissions.size(); ++i) {
        const char c = permissions[i + 1];
        if (c == letters[i] || c == 's' || c == 't')
            mode |= 1 << (8 - i);
    }
    return mode;
}

QDateTime unixDate(int month, const QByteArray& day, const QByteArray& timeOrYear)
{
    const int dayNumber = day.toInt();
    if (timeOrYear.contains(':')) {
        const QTime time = QTime::fromString(QString::fromLatin1(timeOrYear), QStringLiteral("H:mm"));
        const QDate today = QDate::currentDate();
        QDate date(today.year(), month, dayNumber);
        // A listing without a year shows the last twelve months.
        if (date > today.addDays(1))
            date = QDate(today.year() - 1, month, dayNumber);
        return QDateTime(date, time, QTimeZone::utc());
    }
    return QDateTime(QDate(timeOrYear.toInt(), month, dayNumber), QTime(0, 0), QTimeZone::utc());
}

// drwxr-xr-x 2 owner group 4096 Jan  1 12:00 name  (the group is missing on some servers)
std::optional<QVariantMap> parseUnixLine(const QByteArray& line)
{
    const char kind = line.isEmpty() ? '\0' : line[0];
    if (QByteArray("-dlbcps").indexOf(kind) < 0 || line.size() < 10)
        return std::nullopt;
    const std::vector<Token> tokens = tokenize(line, 9);
    // Find the date: a month name, a day number and a time or year, preceded by the size.
    for (std::size_t m = 3; m + 2 < tokens.size(); ++m) {
        const int month = monthNumber(tokens[m].text);
        if (!month || !isNumber(tokens[m + 1].text) || !isNumber(tokens[m - 1].text))
            continue;
        const Token& timeOrYear = tokens[m + 2];
        qsizetype nameStart = timeOrYear.end + 1;
        if (nameStart > line.size())
            return std::nullopt;
        QByteArray name = line.mid(nameStart);
        QVariantMap entry;
        int type = static_cast<int>(FTPResourceType::File);
        if (kind == 'd')
            type = static_cast<int>(FTPResourceType::Directory);
        else if (kind == 'l') {
            type = static_cast<int>(FTPResourceType::Link);
            const qsizetype arrow = name.indexOf(" -> ");
            if (arrow >= 0) {
                entry.insert(QLatin1String(FTPResourceKey::Link), QString::fromUtf8(name.mid(arrow + 4)));
                name.truncate(arrow);
            }
        } else if (kind != '-')
            type = static_cast<int>(FTPResourceType::Unknown);
        if (name.isEmpty())
            return std::nullopt;
        entry.insert(QLatin1String(FTPResourceKey::Name), QString::fromUtf8(name));
        entry.insert(QLatin1String(FTPResourceKey::Type), type);
        entry.insert(QLatin1String(FTPResourceKey::Size), tokens[m - 1].text.toLongLong());
        entry.insert(QLatin1String(FTPResourceKey::Mode), modeFromPermissions(tokens[0].text));
        if (m >= 3)
            entry.insert(QLatin1String(FTPResourceKey::Owner), QString::fromUtf8(tokens[2].text));
        if (m >= 5)
            entry.insert(QLatin1String(FTPResourceKey::Group), QString::fromUtf8(tokens[3].text));
        const QDateTime date = unixDate(month, tokens[m + 1].text, timeOrYear.text);
        if (date.isValid())
            entry.insert(QLatin1String(FTPResourceKey::ModDate), date);
        return entry;
    }
    return std::nullopt;
}

// 01-31-24  09:15PM       <DIR>          name   or   01-31-2024  21:15  1234 name
std::optional<QVariantMap> parseDosLine(const QByteArray& line)
{
    const std::vector<Token> tokens = tokenize(line, 3);
    if (tokens.size() < 3)
        return std::nullopt;
    const QList<QByteArray> dateParts = tokens[0].text.split('-');
    if (dateParts.size() != 3 || !isNumber(dateParts[0]) || !isNumber(dateParts[1]) ||
        !isNumber(dateParts[2]))
        return std::nullopt;
    QByteArray timeText = tokens[1].text.toUpper();
    const bool pm = timeText.endsWith("PM");
    const bool am = timeText.endsWith("AM");
    if (pm || am)
        timeText.chop(2);
    QTime time = QTime::fromString(QString::fromLatin1(timeText), QStringLiteral("H:mm"));
    if (!time.isValid())
        return std::nullopt;
    if (pm && time.hour() < 12)
        time = time.addSecs(12 * 3600);
    if (am && time.hour() == 12)
        time = time.addSecs(-12 * 3600);
    int year = dateParts[2].toInt();
    if (dateParts[2].size() <= 2)
        year += year < 70 ? 2000 : 1900;
    const QDate date(year, dateParts[0].toInt(), dateParts[1].toInt());

    const bool directory = tokens[2].text == "<DIR>";
    if (!directory && !isNumber(tokens[2].text))
        return std::nullopt;
    qsizetype nameStart = tokens[2].end;
    while (nameStart < line.size() && line[nameStart] == ' ')
        ++nameStart;
    const QByteArray name = line.mid(nameStart);
    if (name.isEmpty())
        return std::nullopt;
    QVariantMap entry;
    entry.insert(QLatin1String(FTPResourceKey::Name), QString::fromUtf8(name));
    entry.insert(QLatin1String(FTPResourceKey::Type),
                 static_cast<int>(directory ? FTPResourceType::Directory : FTPResourceType::File));
    entry.insert(QLatin1String(FTPResourceKey::Size), directory ? 0LL : tokens[2].text.toLongLong());
    if (date.isValid())
        entry.insert(QLatin1String(FTPResourceKey::ModDate), QDateTime(date, time, QTimeZone::utc()));
    return entry;
}

} // namespace

ParsedLine parseResourceListing(const QByteArray& data, qsizetype offset)
{
    ParsedLine parsed;
    if (offset < 0 || offset >= data.size())
        return parsed;
    qsizetype end = data.indexOf('\n', offset);
    parsed.consumed = (end < 0 ? data.size() : end + 1) - offset;
    QByteArray line = data.mid(offset, (end < 0 ? data.size() : end) - offset);
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return parsed;
    parsed.entry = parseUnixLine(line);
    if (!parsed.entry)
        parsed.entry = parseDosLine(line);
    return parsed;
}

QList<QVariantMap> parseListing(const QByteArray& data)
{
    QList<QVariantMap> entries;
    qsizetype offset = 0;
    for (;;) {
        const ParsedLine parsed = parseResourceListing(data, offset);
        if (parsed.consumed == 0)
            break;
        if (parsed.entry)
            entries.append(*parsed.entry);
        offset += parsed.consumed;
    }
    return entries;
}

} // namespace airlark::FTPListingParser
