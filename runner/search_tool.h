#ifndef KESTRUNE_RUNNER_SEARCH_TOOL_H_
#define KESTRUNE_RUNNER_SEARCH_TOOL_H_

#include <string>

// Ends every running "Everything.exe" when the search tool is installed under
// "data\everything" beside the executable. Runs at each start and exit.
void EndSearchTool();

// The folder of the running executable, with its trailing separator.
std::wstring ExecutableFolder();

#endif  // KESTRUNE_RUNNER_SEARCH_TOOL_H_
