#include "ui/qt/RunReport.h"

#include <algorithm>
#include <vector>

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

// Keys in order, numbers (pad counts) by their value: 8 before 14.
bool key_before(const std::string& a, const std::string& b) {
    const auto is_number = [](const std::string& key) {
        return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (is_number(a) && is_number(b) && a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

}  // namespace

QString grouped(long long count) { return QString::fromStdString(with_thousands(count)); }

QString run_warnings(const RunResult& result) {
    const long long count = result.warnings.total();
    if (count == 0) return {};
    QString text = count == 1 ? QStringLiteral("The run finished with a warning:\n")
                              : QStringLiteral("The run finished with %1 warnings:\n")
                                    .arg(grouped(count));
    return text + summary_text(result) + report_line(result);
}

QString run_details(const RunResult& result, const QString& lib) {
    QString text =
        QStringLiteral("%1 part(s) read; library files written in %2:\n\n").arg(grouped(result.parts), lib);
    std::vector<const OutputSummary*> outputs;
    for (const auto& output : result.outputs) outputs.push_back(&output);
    std::stable_sort(outputs.begin(), outputs.end(),
                     [](const OutputSummary* a, const OutputSummary* b) { return key_before(a->key, b->key); });
    qsizetype name_width = 0, key_width = 0, count_width = 0;
    for (const OutputSummary* output : outputs) {
        name_width = std::max(name_width, file_name(output->file).size());
        key_width = std::max(key_width, QString::fromStdString(output->key).size() + 2);
        count_width = std::max(count_width, grouped(output->blocks).size());
    }
    for (const OutputSummary* output : outputs) {
        const QString key = QStringLiteral("\"") + QString::fromStdString(output->key) + QStringLiteral("\"");
        text += QStringLiteral("  ") + file_name(output->file).leftJustified(name_width) + QStringLiteral("   key ") +
                key.leftJustified(key_width) + QStringLiteral("   ") +
                grouped(output->blocks).rightJustified(count_width) + QStringLiteral(" part(s)\n");
    }
    if (result.outputs.empty()) text += QStringLiteral("  (none)\n");
    if (result.earlier_files > 0) {
        text += QStringLiteral("  (%1 other files in %2 were not written by this run)\n")
                    .arg(grouped(result.earlier_files), lib);
    }
    if (!result.warnings.empty()) {
        text += QStringLiteral("\nWarnings (%1):").arg(grouped(result.warnings.total()));
        text += summary_text(result) + QStringLiteral("\n");
    }
    text += report_line(result).mid(1);
    return text;
}

}  // namespace marrowgate::ui
