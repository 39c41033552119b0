#include "ui/RunReport.h"

#include "library/FileSystem.h"

namespace marrowgate::ui {

namespace {

QString file_name(const std::filesystem::path& path) {
    return QString::fromStdString(display_path(path.filename()));
}

QString report_line(const RunResult& result) {
    if (!result.warnings.report.empty())
        return QStringLiteral("\n\nThe report of the run: %1").arg(QString::fromStdString(display_path(result.warnings.report)));
    if (!result.warnings.report_error.empty())
        return QStringLiteral("\n\nThe report could not be written: %1").arg(QString::fromStdString(result.warnings.report_error));
    return {};
}

QString summary_text(const RunResult& result) {
    QString text;
    for (const auto& line : result.warnings.summary()) text += QStringLiteral("\n") + QString::fromStdString(line);
    return text;
}

}  // namespace

QString run_warnings(const RunResult& result) {
    const long long count = result.warnings.total();
    if (count == 0) return {};
    QString text = count == 1 ? QStringLiteral("The run finished with a warning:\n")
                              : QStringLiteral("The run finished with %1 warnings:\n")
                                    .arg(QString::fromStdString(with_thousands(count)));
    return text + summary_text(result) + report_line(result);
}

QString run_details(const RunResult& result, const QString& lib) {
    QString text = QStringLiteral("%1 part(s) read; library files written in %2:\n\n").arg(result.parts).arg(lib);
    for (const auto& output : result.outputs) {
        text += QStringLiteral("  %1   key \"%2\"   %3 part(s)\n")
                    .arg(file_name(output.file), QString::fromStdString(output.key))
                    .arg(output.blocks);
    }
    if (result.outputs.empty()) text += QStringLiteral("  (none)\n");
    if (result.earlier_files > 0) {
        text += QStringLiteral("  (%1 other files in %2 were not written by this run)\n")
                    .arg(QString::fromStdString(with_thousands(result.earlier_files)), lib);
    }
    if (!result.warnings.empty()) {
        text += QStringLiteral("\nWarnings (%1):").arg(QString::fromStdString(with_thousands(result.warnings.total())));
        text += summary_text(result) + QStringLiteral("\n");
    }
    text += report_line(result).mid(1);
    return text;
}

}  // namespace marrowgate::ui
