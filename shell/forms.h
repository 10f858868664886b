#pragma once

class TApplication;

// Names the application, initialises it and creates the program's three forms from their
// descriptions in the program's order: the marker window (the main form), the surface and the
// help window. The program, the component tests and the pointer benchmark all start this way.
void CreateForms(TApplication& app);
