// Serves seat0 with the active session `sessionId` ("" for none) of user
// `userName` on the bus at `address`; writes "ready" and runs until standard
// input ends. Returns the exit code.
#pragma once

int RunFakeLogind(const char* address, const char* sessionId, const char* userName);
