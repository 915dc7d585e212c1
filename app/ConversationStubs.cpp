// Temporary: the request and store commands arrive with the conversation
// steps, which replace these definitions.
#include "app/Unit1.h"

void TForm1::ReqButtonClick() {}
void TForm1::SaveButtonClick() {}
