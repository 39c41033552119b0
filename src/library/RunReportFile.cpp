#include "library/RunReportFile.h"

#include <algorithm>
#include <exception>
#include <string>

#include "library/Folders.h"
#include "library/Staging.h"
#include "state/Module1.h"

namespace marrowgate {

namespace {

// What the report says of how the run went.
std::string outcome_line(const RunResult& result, const Module1& state) {
    switch (result.outcome) {
        case RunResult::Outcome::Done:
            return "Sorted " + with_thousands(result.parts) + (result.parts == 1 ? " part" : " parts") + " into " +
                   with_thousands(static_cast<long long>(result.outputs.size())) + " library files in " +
                   display_path(lib_folder(state)) + "; " + with_thousands(result.earlier_files) +
                   " other files there were not written by this run.";
        case RunResult::Outcome::Stopped: return result.error;
        default: return "The run failed: " + result.error;
    }
}

}  // namespace

void write_report(const Module1& state, RunResult& result, FileSystem& files, WarningFiles* warnings,
                  Staging* staging) {
    const auto target = run_report_path(state.Application_Folder);
    try {
        std::string head = "Marrowgate run report\n\nRead:\n";
        for (int i = 1; i <= state.File_Count; ++i) head += "  " + display_path(listed_file_path(state, i)) + "\n";
        if (state.Decal_Count > 0) head += "Decal library:\n  " + display_path(decal_file_path(state)) + "\n";
        head += "\n" + outcome_line(result, state) + "\n";
        if (!result.warnings.empty()) {
            head += "\nWarnings (" + with_thousands(result.warnings.total()) + "):\n";
            for (const auto& line : result.warnings.summary(0)) head += line + "\n";
        }
        const auto written = staging ? staging->own_folder() / "report.new" : target;
        auto out = files.open_write(written, WriteMode::Truncate);
        out->write(head.data(), head.size());
        if (warnings && !result.warnings.empty()) {
            const std::string every = "\nEvery warning, in the order met:\n";
            out->write(every.data(), every.size());
            for (std::size_t k = 0; k < kWarningKinds; ++k) {
                const auto kind = static_cast<WarningKind>(k);
                const auto& tally = result.warnings.of(kind);
                if (tally.count == 0) continue;
                const std::string title = "\n" + warning_kind_title(kind, tally) + "\n";
                out->write(title.data(), title.size());
                warnings->replay(kind, [&](std::string_view bytes) { out->write(bytes.data(), bytes.size()); });
            }
        }
        out->close();
        if (written != target) files.replace(written, target);
        result.warnings.report = target;
    } catch (const std::exception& error) {
        result.warnings.report_error = error.what();
    }
}

long long earlier_files(const Module1& state, FileSystem& files, const std::vector<OutputSummary>& outputs) {
    const auto lib = lib_folder(state);
    // Where the folder ignores case, LIB_a.p was written over a file LIB_A.p.
    const bool ignore_case = lib_folder_ignores_case(state, files);
    const auto fold = [ignore_case](const std::filesystem::path& name) {
        std::string text = display_path(name);
        if (ignore_case)
            for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        return text;
    };
    std::vector<std::string> written;
    for (const auto& output : outputs) written.push_back(fold(output.file.filename()));
    std::sort(written.begin(), written.end());
    long long count = 0;
    for (const auto& name : files.names_in(lib).value_or(std::vector<std::filesystem::path>())) {
        if (std::binary_search(written.begin(), written.end(), fold(name))) continue;
        const auto kind = files.look(lib / name, false).kind;
        count += kind == FileEntry::Kind::File || kind == FileEntry::Kind::Link;
    }
    return count;
}

std::filesystem::path run_report_path(const std::filesystem::path& application_folder) {
    return application_folder / "marrowgate-report.txt";
}

}  // namespace marrowgate
