#pragma once
// Converting a raw CD image into an ISO 9660 image of 2048-byte sectors.

// Converts input into output; prints what it does and any error, and gives the exit status.
int convert_image(const char* input, const char* output);
