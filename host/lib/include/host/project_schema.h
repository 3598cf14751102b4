#pragma once
// The tables of a project file.
#include <string>

namespace host {

class ProjectStore;

// Marks a file as a project of this host (SQLite application id "DX47").
constexpr int kProjectApplicationId = 0x44583437;

// Creates the tables of the current layout in an empty database and records
// the project name and the layout version.
void CreateProjectSchema(ProjectStore& store, const std::string& name);

// Brings a project of an older layout (1 <= fromVersion < the current one)
// up to the current layout in one transaction. Each later layout adds its
// step here.
void UpgradeProjectSchema(ProjectStore& store, int fromVersion);

}  // namespace host
