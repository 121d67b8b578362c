#ifndef KESTRUNE_RUNNER_SEARCH_TOOL_H_
#define KESTRUNE_RUNNER_SEARCH_TOOL_H_

#include <string>

// Ends the search tool bundled under "data\everything" beside the executable:
// every running process whose image is that very file. Runs at each start and
// exit.
void EndSearchTool();

// The folder of the running executable, with its trailing separator.
std::wstring ExecutableFolder();

#endif  // KESTRUNE_RUNNER_SEARCH_TOOL_H_
