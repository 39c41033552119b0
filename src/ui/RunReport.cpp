#include "ui/RunReport.h"

#include <algorithm>
#include <vector>

#include "library/FileSystem.h"

namespace marrowgate::ui {

namespace {

QString file_name(const std::filesystem::path& path) {
    return QString::fromStdString(display_path(path.filename()));
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

QString grouped(long long count) {
    QString digits = QString::number(count < 0 ? -count : count);
    for (auto at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, u',');
    return count < 0 ? QStringLiteral("-") + digits : digits;
}

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
