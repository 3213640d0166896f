// The converter's stages, each run as the else-step of the stage before, and the endings they
// share.
#ifndef FRAMEPACK_CONVERTER_STAGES_H_
#define FRAMEPACK_CONVERTER_STAGES_H_

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "converter/context.h"
#include "platform/platform.h"

// Announces the conversion, assembles the options and runs the stages; returns nothing, failures
// set exit_status to 1.
void RunConverterBody(int argc, char** argv, int& exit_status);
// Checks that the input exists, then runs the rest with the scratch folder locked.
void RunInputCheck(const ConverterContext& context);
// Takes the lock beside the scratch folder, waiting for another conversion that holds it, runs
// the refusal check while holding it and lets it go.
void RunWithScratchLock(const ConverterContext& context);
// Lets go of the lock if it is held; returns nothing.
void ReleaseScratchLock(const ConverterContext& context);
// Refuses what would lose or damage a file of the user's, then runs the output stage.
void RunRefusalCheck(const ConverterContext& context);
// Returns whether the output, now open as output, must be refused after all, with the red line's
// format; users_file tells whether what was opened is a file of the user's (never to be deleted)
// rather than one this run may have made. Only once it exists does its real place show: a link
// may send a new output into the scratch folder, and on Windows "clip.mp4:x" names a stream of
// the input.
bool FindOpenOutputRefusal(const ConverterContext& context, FILE* output, const char** format,
                           bool* users_file);
// Creates or empties the output, which stays open through extraction and packing.
void RunOutputStage(const ConverterContext& context);
// An open folder (see platform/folder.h), closed when let go.
using HeldFolder = std::unique_ptr<void, BOOL (*)(HANDLE)>;

// Returns what FormatCommand returns for the ffmpeg command line of this conversion.
int FormatFfmpegCommand(const ConverterContext& context);
// Clears the scratch folder, runs ffmpeg and echoes its output, then lists and packs the frames.
void RunExtractionStage(const ConverterContext& context, FILE*& output);
// Lists the scratch folder and packs every frame file in it into output, leaving out the
// leftovers still as they were.
void RunListingStage(const ConverterContext& context, FILE*& output,
                     const std::vector<std::string>& leftovers);
// Packs the frames of the listing into output, then removes the scratch folder and reports
// success; returns nothing, failures are abandoned.
void RunPackingStage(const ConverterContext& context, FILE*& output, HeldFolder& folder,
                     HANDLE listing, WIN32_FIND_DATAA& entry,
                     const std::vector<std::string>& leftovers);

// Returns the signatures of the files in the open folder, for telling a file an earlier run left
// there and could not delete from one written since.
std::vector<std::string> ListLeftovers(HANDLE folder);
// Returns the signature of a listed entry: its name, size and time of writing.
std::string Signature(const WIN32_FIND_DATAA& entry);

// Ends a failed conversion: stops ffmpeg, removes the scratch folder, empties the output through
// the stream still open on it and closes it, lets go of the lock, and sets the exit status;
// returns nothing. Its red line comes before, or, for an interruption, after: a reader of our
// output that has stopped reading must not hold the clean-up up.
void AbandonConversion(const ConverterContext& context, FILE*& output);
// Prints the red line of a run ended by an interruption; returns nothing.
void PrintInterrupted(const ConverterContext& context);
// Reports an allocation that failed during the conversion and abandons it; returns nothing.
void AbandonOutOfMemory(const ConverterContext& context, FILE*& output);

#endif  // FRAMEPACK_CONVERTER_STAGES_H_
