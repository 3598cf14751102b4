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

// Throws ProjectError (invalid data) naming the first table or column that
// layout `version` has and the project lacks: "the project /x/p.db is
// damaged: no such table: devices".
void CheckProjectSchema(ProjectStore& store, int version);

}  // namespace host
