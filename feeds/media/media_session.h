#ifndef KESTRUNE_FEEDS_MEDIA_MEDIA_SESSION_H_
#define KESTRUNE_FEEDS_MEDIA_MEDIA_SESSION_H_

#include <windows.h>

#include <string>

#include "winrt/com_ptr.h"
#include "winrt/media_control.h"

// Reading the system's media sessions. Every wait for an operation is bounded
// (5 s) and ends at once when |stop| is set.

// The session manager; S_OK with an empty pointer when the runtime gave none.
HRESULT RequestSessionManager(HANDLE stop, winrt::ComPtr<winrt::media::IManager>* manager);

// The session's id, its SourceAppUserModelId.
HRESULT ReadSessionId(winrt::media::ISession* session, std::wstring* id);

HRESULT ReadSessions(winrt::media::IManager* manager,
                     winrt::ComPtr<winrt::media::SessionList>* sessions,
                     UINT32* count);

struct TrackReading {
  std::string title;
  std::string artist;
};
// Title and artist in UTF-8; both empty when they cannot be read.
TrackReading ReadTrack(winrt::media::ISession* session, HANDLE stop);

struct PlaybackReading {
  const char* status = "unknown";
  double progress = 0.0;
};
// Status text and progress; "unknown" and 0.0 for what cannot be read.
PlaybackReading ReadPlayback(winrt::media::ISession* session);

// Waits for a command's operation; its answer (accepted or not) is not used.
HRESULT AwaitCommand(winrt::media::BoolOperation* operation, HANDLE stop);

#endif  // KESTRUNE_FEEDS_MEDIA_MEDIA_SESSION_H_
