// Internal interfaces of the traxnt shell core: start-up, the command loop, the console
// token and the node look-ups that the command units share.
#ifndef TRAXNT_CORE_H
#define TRAXNT_CORE_H

#include <cstdint>

#include "shell.h"

/// Revision text of this build; the banner shows its first 16 characters.
extern const char kRevision[];

/// Prints the five banner lines and the empty line after them.
void PrintBanner();

/// Puts the thread table into its start-up state with the calling thread in node 1.
void InitShellState();

/// Prompts for command words and runs them until the word "e"; returns 0 then.
int32_t CommandLoop();

/// Start procedure of every created command thread; param is the thread's node.
DWORD WINAPI CommandThread(LPVOID param);

/// The first free node of the thread table, or null after printing why.
ThreadNode *GetFreeThrNode();

/// The calling thread's own, taken node, or null after printing why.
ThreadNode *GetCurrThrNode();

/// The first free entry of the current thread's path table, or null after printing why.
PathNode *GetFreePathNode();

#endif
