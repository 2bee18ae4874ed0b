// The main interface file of the bootstrapper, "MainMenu": the objects the
// program runs on. Loading it creates the Downloader (with its progress
// window) and the Bootstrapper, connects the Downloader to the Bootstrapper's
// `downloader` outlet and names the Bootstrapper as the application's
// delegate. Nothing else in the program creates either object; the loaded
// file owns both until the process ends.
#pragma once

inline constexpr char kMainMenuInterfaceName[] = "MainMenu";

// Registers the loader of "MainMenu" with the interface-file registry.
// Called by main before the application loads the file. Returns true.
bool registerMainMenuInterface();
