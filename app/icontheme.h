#pragma once

// The icon theme the result rows take their file-type icons from.

// Makes sure an icon theme with file-type icons is in use: a session without a desktop
// names none (or only "hicolor", which has application icons alone), so Adwaita, which
// the program's packages bring, stands in. A desktop's own theme is kept, with Adwaita
// behind it for the types it has no icon for. Call once the application object exists.
void UseIconTheme();
