#pragma once

// The offscreen application that a fuzz target's window lives in, made once in
// LLVMFuzzerInitialize. Only critical Qt messages reach the log: diagnostics and the
// offscreen platform's warnings, once per input, would flood it.
void startOffscreenApplication(const char* name);
