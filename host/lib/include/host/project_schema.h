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

}  // namespace host
