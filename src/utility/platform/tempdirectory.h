// The load-time step that makes TEMP and TMP name a directory in which this process can create
// files. Windows only.
#pragma once

namespace tarn::paths {

// Once per process (the marker variable of pathservices.h says it was done): tries the
// platform's temporary path, then the common application-data folder's
// "Velmoric\Velmoric Agent\Temp", then the "Temp" folder beside the host executable. A missing
// candidate is created for the local system and administrators, with traverse and add rights
// for users. The first candidate in which the marker file "<marker>.tmp" can be opened becomes
// TEMP and TMP; that file stays open, delete-on-close, for the life of the process. Never
// fails: when no candidate works, TEMP and TMP stay as they were.
void PrepareTemporaryDirectory() noexcept;

} // namespace tarn::paths
