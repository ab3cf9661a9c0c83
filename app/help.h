// The answers to "what is this program and how is it used": the help text
// and the version line, asked for by the first word of the command line.
#pragma once

namespace vextal {

/// If `word` (the first word of the command line) asks for the help text
/// ("--help", "-h", "/?") or the version ("--version", "-V"), writes it to
/// standard output and ends with exit code 0; otherwise returns.
void answer_help_or_version(const char* word);

}  // namespace vextal
