// The converter's stages, each run as the else-step of the stage before.
#ifndef FRAMEPACK_CONVERTER_STAGES_H_
#define FRAMEPACK_CONVERTER_STAGES_H_

#include <cstdio>
#include <string>
#include <vector>

#include "converter/context.h"

// Announces the conversion, assembles the options and runs the stages; returns nothing, failures
// set exit_status to 1.
void RunConverterBody(int argc, char** argv, int& exit_status);
// Checks the input, refuses unsafe paths, opens the output and runs the extraction.
void RunInputCheck(const ConverterContext& context);
// Returns what FormatCommand returns for the ffmpeg command line of this conversion.
int FormatFfmpegCommand(const ConverterContext& context);
// Clears the scratch folder, runs ffmpeg and echoes its output, then lists and packs the frames.
void RunExtractionStage(const ConverterContext& context, FILE*& output);
// Returns the signatures of the files in folder, for telling a file an earlier run left there and
// could not delete from one written since.
std::vector<std::string> ListLeftovers(const char* folder);
// Lists the scratch folder and packs every frame file in it into output, leaving out the leftovers
// still as they were.
void RunListingStage(const ConverterContext& context, FILE*& output,
                     const std::vector<std::string>& leftovers);
// Ends a failed conversion once its red line is printed: removes the scratch folder, closes the
// output if it is still open and empties it, and sets the exit status; returns nothing.
void AbandonConversion(const ConverterContext& context, FILE*& output);
// Reports an allocation that failed during the conversion and abandons it; returns nothing.
void AbandonOutOfMemory(const ConverterContext& context, FILE*& output);

#endif  // FRAMEPACK_CONVERTER_STAGES_H_
