#pragma once
// The process-wide launcher log pointer. The entry point sets it once the log
// is open and clears it before the log goes away; any thread may read it and
// write to the log it points to.

class CLogImplW;

CLogImplW* GetProcessLog();
void SetProcessLog(CLogImplW* log);
