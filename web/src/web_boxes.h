#pragma once

// From now on fatal errors and questions appear as messages in the page.
void showBoxesInThePage();
