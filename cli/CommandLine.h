#pragma once
// One subcommand's parser: German help, --help and --json for all, and parse errors
// turned into one German line.
#include <QCommandLineParser>
#include <QJsonObject>
#include <QString>
#include <initializer_list>
#include <QStringList>
#include <QTextStream>

namespace tesora::cli {

struct Context {
    QTextStream& out;
    QTextStream& err;
    bool progress;  // stderr is a terminal: show progress of long runs
    // Notes for stderr, shown only when the run succeeds: a failure says one line.
    QStringList warnings = {};
};

class CommandLine {
public:
    // `syntax`: what follows the subcommand in the usage line.
    CommandLine(const QString& name, const QString& syntax, const QString& description);

    void AddValueOption(const QString& name, const QString& valueName, const QString& description);
    // The same option under several names ("o" and "output").
    void AddValueOption(const QStringList& names, const QString& valueName, const QString& description);
    void AddFlag(const QString& name, const QString& description);
    // An option that may be given several times (one output file each).
    void AllowRepeated(const QString& name) { repeatable_ << name; }

    // Parses args (args[0] the program, args[1] the subcommand). Returns false after
    // printing the help for --help; throws UsageError for anything wrong, including a
    // count of positional arguments outside [minPositional, maxPositional] and an
    // option given twice.
    bool Parse(const QStringList& args, QTextStream& out, int minPositional, int maxPositional);
    // What the positional argument is, for the message when it is missing ("ein Bild").
    void NameInput(const QString& input) { input_ = input; }

    bool Has(const QString& name) const { return parser_.isSet(name); }
    QString Value(const QString& name) const { return parser_.value(name); }
    QStringList Values(const QString& name) const { return parser_.values(name); }
    QStringList Positional() const { return parser_.positionalArguments(); }
    bool Json() const { return parser_.isSet(QStringLiteral("json")); }

    QString HelpText() const;

private:
    void RefuseRepeatedOptions(const QString& hint) const;

    QCommandLineParser parser_;
    QString name_;
    QString syntax_;
    QString input_ = QStringLiteral("ein Bild");
    QStringList repeatable_;
};

// --fit: a picture too large for the working matrix is scaled down to fit.
void AddFitOption(CommandLine& line);

// Value options in the order given: name, value name and help text (UTF-8).
struct ValueOption {
    const char* name;
    const char* valueName;
    const char* description;
};
void AddValueOptions(CommandLine& line, std::initializer_list<ValueOption> options);
// -o / --output FILE, the file a command writes.
void AddOutputOption(CommandLine& line, const QString& valueName, const QString& description);

// Writes one JSON document, indented, to `out`.
void WriteJson(QTextStream& out, const QJsonObject& document);

}  // namespace tesora::cli
