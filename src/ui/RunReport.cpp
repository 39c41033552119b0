#include "ui/RunReport.h"

#include "library/FileSystem.h"

namespace marrowgate::ui {

namespace {

QString file_name(const std::filesystem::path& path) {
    return QString::fromStdString(display_path(path.filename()));
}

}  // namespace

QString run_warnings(const RunResult& result) {
    const auto count = static_cast<int>(result.warnings.size());
    if (count == 0) return {};
    QString text = count == 1 ? QStringLiteral("The run finished with a warning:\n")
                              : QStringLiteral("The run finished with %1 warnings:\n").arg(count);
    for (int i = 0; i < count && i < kWarningsShown; ++i)
        text += QStringLiteral("\n") + QString::fromStdString(result.warnings[static_cast<std::size_t>(i)]);
    if (count > kWarningsShown) text += QStringLiteral("\n\n... and %1 more.").arg(count - kWarningsShown);
    return text;
}

QString run_details(const RunResult& result, const QString& lib) {
    QString text = QStringLiteral("%1 part(s) read; library files written in %2:\n\n").arg(result.parts).arg(lib);
    for (const auto& output : result.outputs) {
        text += QStringLiteral("  %1   key \"%2\"   %3 part(s)\n")
                    .arg(file_name(output.file), QString::fromStdString(output.key))
                    .arg(output.blocks);
    }
    if (result.outputs.empty()) text += QStringLiteral("  (none)\n");
    if (!result.unplaced.empty()) {
        text += QStringLiteral("\nPlaced in no file (%1):\n").arg(result.unplaced.size());
        for (const auto& part : result.unplaced) {
            text += QStringLiteral("  %1   decal \"%2\"   from %3\n")
                        .arg(QString::fromStdString(part.part), QString::fromStdString(part.decal),
                             file_name(part.file));
        }
    }
    return text;
}

}  // namespace marrowgate::ui
