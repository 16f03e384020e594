#pragma once

// The system buffers (socket slots, JPEG copy ring, image ring, frame-header
// table, line-doubling and frame-copy buffers) and the ring semaphores. They
// are created before the streaming threads start and released after every one
// of them has ended. Every release routine may run twice.

// 1 when every buffer was allocated, else 0 (what was allocated stays, to be
// freed by FreeSystemBuffer).
int AllocateSystemBuffer();
int FreeSystemBuffer();

// Creates the socket-slot and image-slot semaphores, the frame-copy semaphore
// and the recorders' resources; 0 when a semaphore could not be created.
int InitialSemaphore();
int FreeSystemSemaphore();
