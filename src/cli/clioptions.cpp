#include "cli/clioptions.h"

#include "analysis/verdictrules.h"
#include "i18n/i18n.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

struct CliOptionsTr
{
    Q_DECLARE_TR_FUNCTIONS(CliOptions)
};

// The block sizes the window offers; unbuffered I/O needs whole sectors, and these are.
const qint64 kBlockSizes[] = {65536, 131072, 262144, 524288, 1048576, 4194304, 8388608};

bool isWholeNumber(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    return digits.match(text).hasMatch();
}

// Walks the arguments; an option's value comes after "=" or as the next argument.
class Parser
{
public:
    explicit Parser(const QStringList& arguments)
        : m_args(arguments)
    {}

    bool next()
    {
        if (m_pos >= m_args.size())
            return false;
        const QString arg = m_args.at(m_pos++);
        const int eq = arg.startsWith(QLatin1String("--")) ? arg.indexOf(QLatin1Char('=')) : -1;
        m_name = eq < 0 ? arg : arg.left(eq);
        m_inline = eq < 0 ? QString() : arg.mid(eq + 1);
        m_hasInline = eq >= 0;
        return true;
    }
    const QString& name() const { return m_name; }
    bool hasInlineValue() const { return m_hasInline; }

    // The option's value; false (with error set) when there is none.
    bool value(QString* out, QString* error)
    {
        if (m_hasInline) {
            *out = m_inline;
        } else if (m_pos < m_args.size() && !m_args.at(m_pos).startsWith(QLatin1String("--"))) {
            *out = m_args.at(m_pos++);
        } else {
            *error = CliOptionsTr::tr("CliErrNeedsValue").arg(m_name);
            return false;
        }
        if (out->isEmpty())
            *error = CliOptionsTr::tr("CliErrNeedsValue").arg(m_name);
        return !out->isEmpty();
    }
    // The next argument when it is a whole number, which an optional count then is.
    bool optionalCount(QString* out)
    {
        if (m_hasInline) {
            *out = m_inline;
            return true;
        }
        if (m_pos < m_args.size() && isWholeNumber(m_args.at(m_pos))) {
            *out = m_args.at(m_pos++);
            return true;
        }
        return false;
    }
    // Every following argument up to the next option.
    QStringList values()
    {
        QStringList out;
        if (m_hasInline)
            out << m_inline;
        while (m_pos < m_args.size() && !m_args.at(m_pos).startsWith(QLatin1String("--")))
            out << m_args.at(m_pos++);
        out.removeAll(QString());
        return out;
    }

private:
    QStringList m_args;
    int m_pos = 0;
    QString m_name;
    QString m_inline;
    bool m_hasInline = false;
};

bool parseCount(const QString& name, const QString& text, int low, int high, int* out,
                QString* error)
{
    const int n = isWholeNumber(text) ? text.toInt() : -1;
    if (n < low || n > high) {
        *error = CliOptionsTr::tr("CliErrCount").arg(name).arg(low).arg(high).arg(text);
        return false;
    }
    *out = n;
    return true;
}

// One option into options; false (with options.error set) on a bad one.
bool apply(Parser& p, CliOptions& o)
{
    const QString& name = p.name();
    QString value;
    QString& error = o.error;
    const bool flag = !p.hasInlineValue();
    if ((name == QLatin1String("--help") || name == QLatin1String("-h")) && flag) {
        o.action = CliOptions::Action::Help;
    } else if (name == QLatin1String("--version") && flag) {
        o.action = CliOptions::Action::Version;
    } else if (name == QLatin1String("--list") && flag) {
        o.action = CliOptions::Action::List;
    } else if (name == QLatin1String("--json") && flag) {
        o.json = true;
    } else if (name == QLatin1String("--no-read") && flag) {
        o.read = false;
    } else if (name == QLatin1String("--verify-fill") && flag) {
        o.verifyFill = true;
    } else if ((name == QLatin1String("--quiet") || name == QLatin1String("-q")) && flag) {
        o.quiet = true;
    } else if (name == QLatin1String("--drive")) {
        if (!p.value(&value, &error))
            return false;
        o.drive = value;
    } else if (name == QLatin1String("--size")) {
        if (!p.value(&value, &error))
            return false;
        if (!CliOptions::parseSize(value, &o.testSize)) {
            error = CliOptionsTr::tr("CliErrSize").arg(name, value);
            return false;
        }
    } else if (name == QLatin1String("--block")) {
        if (!p.value(&value, &error))
            return false;
        qint64 block = 0;
        if (!CliOptions::parseSize(value, &block) ||
            std::find(std::begin(kBlockSizes), std::end(kBlockSizes), block) ==
                std::end(kBlockSizes)) {
            error = CliOptionsTr::tr("CliErrBlock").arg(value);
            return false;
        }
        o.blockSize = block;
    } else if (name == QLatin1String("--streams")) {
        return p.value(&value, &error) && parseCount(name, value, 1, 16, &o.streamCount, &error);
    } else if (name == QLatin1String("--rounds")) {
        return p.value(&value, &error) && parseCount(name, value, VerdictRules::MinIterCount,
                                                     VerdictRules::MaxIterCount, &o.rounds, &error);
    } else if (name == QLatin1String("--fill")) {
        o.fill = true;
        return !p.optionalCount(&value) || parseCount(name, value, VerdictRules::MinIterCount,
                                                      VerdictRules::MaxIterCount, &o.fills, &error);
    } else if (name == QLatin1String("--files")) {
        const QStringList files = p.values();
        if (files.isEmpty()) {
            error = CliOptionsTr::tr("CliErrNeedsValue").arg(name);
            return false;
        }
        o.files << files;
    } else if (name == QLatin1String("--rules")) {
        if (!p.value(&value, &error))
            return false;
        o.rulesFile = value;
    } else if (name == QLatin1String("--report")) {
        if (!p.value(&value, &error))
            return false;
        const QString suffix = QFileInfo(value).suffix().toLower();
        if (suffix != QLatin1String("json") && suffix != QLatin1String("csv") &&
            !CliOptions::isHtmlReport(value)) {
            error = CliOptionsTr::tr("CliErrReport").arg(value);
            return false;
        }
        o.reportFile = value;
    } else if (name == QLatin1String("--lang")) {
        if (!p.value(&value, &error))
            return false;
        Language lang = English;
        if (!CliOptions::parseLanguage(value, &lang)) {
            error = CliOptionsTr::tr("CliErrLang").arg(value);
            return false;
        }
        o.language = value;
    } else if (name.startsWith(QLatin1Char('-'))) {
        error = CliOptionsTr::tr("CliErrUnknownOption").arg(name);
        return false;
    } else {
        error = CliOptionsTr::tr("CliErrUnexpected").arg(name);
        return false;
    }
    return true;
}

// What only makes sense together, once every option is known.
QString combinationError(const CliOptions& o, const QStringList& given)
{
    const auto has = [&given](const char* option) { return given.contains(QLatin1String(option)); };
    if (o.json && o.action != CliOptions::Action::List)
        return CliOptionsTr::tr("CliErrAlone")
            .arg(QStringLiteral("--json"), QStringLiteral("--list"));
    if (o.verifyFill && !o.fill)
        return CliOptionsTr::tr("CliErrAlone")
            .arg(QStringLiteral("--verify-fill"), QStringLiteral("--fill"));
    // Both set the number of times the card is written over; the count belongs to --fill.
    if (o.fill && has("--rounds"))
        return CliOptionsTr::tr("CliErrConflict")
            .arg(QStringLiteral("--fill"), QStringLiteral("--rounds"));
    if (o.action == CliOptions::Action::Run && o.drive.isEmpty())
        return CliOptionsTr::tr("CliErrNoDrive");
    return QString();
}

} // namespace

CliOptions CliOptions::parse(const QStringList& arguments)
{
    CliOptions o;
    QStringList given;
    QString firstError;
    Parser p(arguments);
    // Parsing goes on after an error, so that --lang still picks the language it is told in.
    while (p.next()) {
        given << p.name();
        if (!apply(p, o) && firstError.isEmpty())
            firstError = o.error;
    }
    // Help and the version answer whatever else was given.
    if (o.action == Action::Help || o.action == Action::Version) {
        o.error.clear();
        return o;
    }
    o.error = firstError.isEmpty() ? combinationError(o, given) : firstError;
    return o;
}

bool CliOptions::parseSize(const QString& text, qint64* bytes)
{
    static const QRegularExpression size(
        QStringLiteral("^\\s*([0-9]{1,15}(?:\\.[0-9]{1,6})?)\\s*([kmgt]?)(?:i?b)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = size.match(text);
    if (!m.hasMatch())
        return false;
    const int power = QStringLiteral(" kmgt").indexOf(m.captured(2).toLower());
    const double value = m.captured(1).toDouble() * std::pow(1024.0, power < 0 ? 0 : power);
    if (value < 1.0 || value > double(std::numeric_limits<qint64>::max() / 2))
        return false;
    *bytes = static_cast<qint64>(value);
    return true;
}

bool CliOptions::parseLanguage(const QString& text, Language* language)
{
    const QString t = text.trimmed().toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    if (t == QLatin1String("en") || t.startsWith(QLatin1String("en-")))
        *language = English;
    else if (t == QLatin1String("zh") || t == QLatin1String("zh-cn") ||
             t == QLatin1String("zh-hans") || t == QLatin1String("zh-sg"))
        *language = SimplifiedChinese;
    else if (t == QLatin1String("zh-tw") || t == QLatin1String("zh-hant") ||
             t == QLatin1String("zh-hk") || t == QLatin1String("zh-mo"))
        *language = TraditionalChinese;
    else
        return false;
    return true;
}

bool CliOptions::isHtmlReport(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("html") || suffix == QLatin1String("htm");
}

Language CliOptions::languageFor(const QString& option, const QVariant& stored,
                                 const QLocale& system)
{
    Language lang = English;
    if (parseLanguage(option, &lang))
        return lang;
    if (stored.isValid())
        return I18n::languageFromSetting(stored);
    if (system.language() != QLocale::Chinese)
        return English;
    const bool traditional = system.script() == QLocale::TraditionalChineseScript ||
                             system.country() == QLocale::Taiwan ||
                             system.country() == QLocale::HongKong ||
                             system.country() == QLocale::Macau;
    return traditional ? TraditionalChinese : SimplifiedChinese;
}
