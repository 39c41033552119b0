// Writes PADS part-type libraries and a PCB decal library of any size, the
// same bytes on every platform for the same seed. The benchmark times the sort
// runs on them; the differential test sorts them with the engine and with the
// literal passes and compares the files written.
//
// Parts look like real exports: a header line (single-spaced as later PADS
// versions write it, or aligned with runs of spaces as V4 exports do), a
// TIMESTAMP, a dozen attribute lines, a gate and one line per pin. Decals have
// an aligned header whose ninth word is the pad count, labels, an outline, one
// terminal line per pad and a pad stack.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace marrowgate::bench {

// Inputs that real libraries hold now and then and that a sort must place
// exactly; all zero gives clean exports. Rates are per part (per decal for the
// decal library, per line for line ends).
struct Irregularities {
    double header_marks_in_body = 0.01;  // attribute values like "Class I device" (" I " inside a block)
    double missing_decal = 0;            // first decal name absent from the decal library
    double duplicate_decal = 0;          // decals defined again further on (other pad count, or a short line first)
    double short_header = 0;             // part header lines with three to seven spaces
    double awkward_name = 0;             // names and fields with / \ . : * " < > | or empty
    double lf_line_end = 0;              // lines ended by LF alone, and now and then a stray CR
    double extra_lines_between = 0;      // blank or remark lines between part blocks
    double repeated_name = 0;            // a part named as one of the parts before it
    bool unterminated_last_part = false; // the last file ends inside its last part block
};

struct LibraryShape {
    std::uint64_t seed = 1;
    int files = 4;
    int parts_per_file = 25000;
    int initials = 50;       // distinct first characters of part names
    int families = 40;       // distinct logic families
    int decal_names = 1000;  // distinct first decal names of the parts
    int decals = 10000;      // decals in the decal library, the parts' ones among them
    int max_pads = 0;        // when above 0, no decal has more pads (small, quick test libraries)
    Irregularities irregular;
};

// How often each irregular case was written, so that a test can tell that its
// inputs still hold what it means to exercise.
struct Census {
    long long parts = 0;
    long long header_marks_in_body = 0;
    long long missing_decal = 0;
    long long duplicate_decal = 0;
    long long short_decal_header = 0;
    long long short_header = 0;
    long long awkward_name = 0;
    long long lf_line_end = 0;
    long long stray_cr = 0;
    long long unterminated = 0;
    long long repeated_name = 0;
};

struct GeneratedLibraries {
    std::vector<std::filesystem::path> part_files;
    std::filesystem::path decal_file;
    std::uint64_t part_bytes = 0;
    std::uint64_t decal_bytes = 0;
    Census census;
};

// Writes parts_1.p ... parts_<files>.p and decals.d into `folder` (which must
// exist). The first n parts of a file are the same for every parts_per_file of
// at least n, so a smaller run reads a prefix of a larger one. Throws
// marrowgate::FileError when a file cannot be written.
GeneratedLibraries generate_libraries(const LibraryShape& shape, const std::filesystem::path& folder);

// A short description of the shape, for a stamp file that tells whether data
// already on disk was generated from the same shape.
std::string describe(const LibraryShape& shape);

}  // namespace marrowgate::bench
