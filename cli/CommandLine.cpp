#include "cli/CommandLine.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include "blac/Bank.h"
#include "cli/Arguments.h"
#include "picture/PictureFile.h"

namespace tesora::cli {

CommandLine::CommandLine(const QString& name, const QString& syntax, const QString& description)
    : name_(name), syntax_(syntax) {
    parser_.setApplicationDescription(description);
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.addOption(
        QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Zeigt diese Hilfe.")));
    AddFlag(QStringLiteral("json"),
            QStringLiteral("Ein JSON-Dokument auf der Standardausgabe statt des Textberichts."));
}

void CommandLine::AddValueOption(const QString& name, const QString& valueName, const QString& description) {
    parser_.addOption(QCommandLineOption(name, description, valueName));
}

void CommandLine::AddValueOption(const QStringList& names, const QString& valueName, const QString& description) {
    parser_.addOption(QCommandLineOption(names, description, valueName));
}

void AddOutputOption(CommandLine& line, const QString& valueName, const QString& description) {
    line.AddValueOption(QStringList{QStringLiteral("o"), QStringLiteral("output")}, valueName, description);
}

void AddValueOptions(CommandLine& line, std::initializer_list<ValueOption> options) {
    for (const ValueOption& option : options)
        line.AddValueOption(QString::fromUtf8(option.name), QString::fromUtf8(option.valueName),
                            QString::fromUtf8(option.description));
}

void AddFitOption(CommandLine& line) {
    line.AddFlag(QStringLiteral("fit"),
                 QStringLiteral("Ein Bild über %1 Pixel Breite oder %1 x %2 Pixel verkleinert öffnen "
                                "(Flächenmittel, wie \"Ja\" im Fenster); \"Fehler?\" vergleicht mit dem "
                                "verkleinerten Bild.")
                     .arg(kMaxSide)
                     .arg(kMaxPicturePixels / kMaxSide));
}

void CommandLine::AddFlag(const QString& name, const QString& description) {
    parser_.addOption(QCommandLineOption(name, description));
}

QString CommandLine::HelpText() const {
    // Qt's own text after its usage line, with the headings in German.
    QString text = parser_.helpText();
    text = text.mid(text.indexOf(QLatin1Char('\n')) + 1);
    text.replace(QStringLiteral("\nOptions:\n"), QStringLiteral("\nOptionen:\n"));
    text.replace(QStringLiteral("\nArguments:\n"), QStringLiteral("\nArgumente:\n"));
    return QStringLiteral("Aufruf: tesora-cli %1 %2\n").arg(name_, syntax_) + text;
}

void CommandLine::RefuseRepeatedOptions(const QString& hint) const {
    // Qt keeps the last of repeated values; a script's typo would go unnoticed.
    QStringList seen;
    for (const QString& name : parser_.optionNames()) {
        if (seen.contains(name) && !repeatable_.contains(name))
            throw UsageError(
                QStringLiteral("Die Option \"%1%2\" ist mehrfach angegeben.").arg(name.size() == 1 ? "-" : "--", name) +
                hint);
        seen << name;
    }
}

bool CommandLine::Parse(const QStringList& args, QTextStream& out, int minPositional, int maxPositional) {
    // The subcommand itself is not one of this parser's arguments.
    QStringList rest = args;
    if (rest.size() > 1) rest.removeAt(1);
    const QString hint = QStringLiteral(" (Hilfe: tesora-cli %1 --help)").arg(name_);
    if (!parser_.parse(rest)) {
        if (!parser_.unknownOptionNames().isEmpty()) {
            const QString option = parser_.unknownOptionNames().constFirst();
            throw UsageError(
                QStringLiteral("Unbekannte Option \"%1%2\".").arg(option.size() == 1 ? "-" : "--", option) + hint);
        }
        const auto match = QRegularExpression(QStringLiteral("'([^']*)'")).match(parser_.errorText());
        // A switch given a value ("--progress=yes") is not a value missing.
        if (match.hasMatch() && parser_.errorText().startsWith(QLatin1String("Unexpected value")))
            throw UsageError(QStringLiteral("Die Option \"%1\" nimmt keinen Wert.").arg(match.captured(1)) + hint);
        if (match.hasMatch())
            throw UsageError(QStringLiteral("Zur Option \"%1\" fehlt der Wert.").arg(match.captured(1)) + hint);
        throw UsageError(QStringLiteral("Ungültiger Aufruf.") + hint);
    }
    RefuseRepeatedOptions(hint);
    if (parser_.isSet(QStringLiteral("help"))) {
        out << HelpText();
        return false;
    }
    const int count = static_cast<int>(parser_.positionalArguments().size());
    if (count < minPositional) throw UsageError(QStringLiteral("Es fehlt %1.").arg(input_) + hint);
    if (count > maxPositional)
        throw UsageError(
            QStringLiteral("Unerwartetes Argument \"%1\".").arg(parser_.positionalArguments().at(maxPositional)) +
            hint);
    return true;
}

void WriteJson(QTextStream& out, const QJsonObject& document) {
    out << QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented));
}

}  // namespace tesora::cli
