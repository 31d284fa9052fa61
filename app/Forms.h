#pragma once
// Creates the four windows in the program's order and destroys them again. The main
// window's creation handler fills the tables the whole program relies on.
namespace tesora {

// frmTesora (running FormCreate), then frmReducedImg, frmWarten and frmAbout, all hidden.
void CreateForms();
// Deletes whatever windows still exist and clears the references.
void DestroyForms();

}  // namespace tesora
