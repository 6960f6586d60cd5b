#pragma once

// Lets pending window events run; the one place long loops pump messages.
void DoEvents();
