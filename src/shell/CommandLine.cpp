#include "shell/CommandLine.h"

#include "shell/uVariables.h"

#include <QCommandLineParser>

namespace shell {

namespace {

template <typename Values, typename Name> std::string listOf(const Values& values, Name name)
{
    std::string list;
    for (const auto& v : values) {
        if (!list.empty())
            list += ", ";
        list += name(v);
    }
    return list;
}

std::string exercises()
{
    return listOf(engine::AllExercises,
                  [](engine::ExerciseKind k) { return std::string(engine::exerciseId(k)); });
}

std::string keys()
{
    std::string list;
    for (std::int32_t k = 0; k < 12; ++k)
        list += (k == 0 ? "" : ", ") + std::string(engine::keyId(k));
    return list;
}

std::string staves()
{
    return listOf(std::array{engine::ClefSetting::Treble, engine::ClefSetting::Bass,
                             engine::ClefSetting::Both},
                  [](engine::ClefSetting c) { return std::string(engine::staffId(c)); });
}

CommandLine wrong(const std::string& message)
{
    CommandLine c;
    c.run = false;
    c.exitCode = 2;
    c.error = "tessaly-notes: " + message + "\nTry 'tessaly-notes --help' for more.\n";
    return c;
}

} // namespace

engine::PracticeChoice StartChoice::over(engine::PracticeChoice remembered) const
{
    if (kind)
        remembered.kind = *kind;
    if (key)
        remembered.key = *key;
    if (clef)
        remembered.clef = *clef;
    return remembered;
}

CommandLine readCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A trainer for reading music: questions scroll across a grand staff and "
                       "you answer on the piano picture, the computer keyboard or a MIDI "
                       "keyboard."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption exerciseOption(
        QStringLiteral("exercise"),
        QString::fromStdString("The exercise to practise: " + exercises() + "."),
        QStringLiteral("KIND"));
    const QCommandLineOption keyOption(
        QStringList{QStringLiteral("key")},
        QString::fromStdString("The major key, by its tonic: " + keys() +
                               " (a sharp names its flat: F# is Gb). Minor scales use the "
                               "relative minor."),
        QStringLiteral("KEY"));
    const QCommandLineOption staffOption(QStringLiteral("staff"),
                                         QString::fromStdString("The staff: " + staves() + "."),
                                         QStringLiteral("STAFF"));
    parser.addOption(exerciseOption);
    parser.addOption(keyOption);
    parser.addOption(staffOption);

    // Qt's own options (-platform offscreen, -style fusion, ...) are the
    // toolkit's; it takes them when it starts.
    static const QStringList QtOptionsWithValue{QStringLiteral("platform"),
                                                QStringLiteral("platformpluginpath"),
                                                QStringLiteral("platformtheme"),
                                                QStringLiteral("plugin"),
                                                QStringLiteral("qwindowgeometry"),
                                                QStringLiteral("qwindowicon"),
                                                QStringLiteral("qwindowtitle"),
                                                QStringLiteral("session"),
                                                QStringLiteral("display"),
                                                QStringLiteral("geometry"),
                                                QStringLiteral("style"),
                                                QStringLiteral("stylesheet"),
                                                QStringLiteral("title")};
    static const QStringList QtFlags{QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                     QStringLiteral("nograb"), QStringLiteral("dograb"),
                                     QStringLiteral("sync")};
    QStringList ours;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        QString name = a;
        while (name.startsWith(QLatin1Char('-')))
            name.remove(0, 1);
        const bool qtOption =
            i > 0 && a.startsWith(QLatin1Char('-')) && !a.startsWith(QStringLiteral("--"));
        if (qtOption && QtOptionsWithValue.contains(name)) {
            ++i; // and its value
            continue;
        }
        if (qtOption && QtFlags.contains(name))
            continue;
        ours.push_back(a);
    }
    if (!parser.parse(ours))
        return wrong(parser.errorText().toStdString());
    CommandLine result;
    if (parser.isSet(helpOption)) {
        result.run = false;
        result.out = parser.helpText().toStdString();
        return result;
    }
    if (parser.isSet(versionOption)) {
        result.run = false;
        result.out = std::string(ApplicationTitle) + " " + ApplicationVersion + "\n";
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return wrong("unexpected argument '" + parser.positionalArguments().first().toStdString() +
                     "'");
    if (parser.isSet(exerciseOption)) {
        const std::string value = parser.value(exerciseOption).toStdString();
        result.choice.kind = engine::exerciseFromId(value);
        if (!result.choice.kind)
            return wrong("unknown exercise '" + value + "'; the exercises are: " + exercises());
    }
    if (parser.isSet(keyOption)) {
        const std::string value = parser.value(keyOption).toStdString();
        result.choice.key = engine::keyFromId(value);
        if (!result.choice.key)
            return wrong("unknown key '" + value + "'; the keys are: " + keys());
    }
    if (parser.isSet(staffOption)) {
        const std::string value = parser.value(staffOption).toStdString();
        result.choice.clef = engine::staffFromId(value);
        if (!result.choice.clef)
            return wrong("unknown staff '" + value + "'; the staves are: " + staves());
    }
    return result;
}

} // namespace shell
