// The run sequence up to the end of extraction; the launch and the clean-up follow it.
//
// Item 1, when present, is the inflate plug-in: it is expanded with the LZ codec into a
// temporary file, loaded, and its codec expands every later item. Item 2 is the manifest, and
// manifest entry k (from 0) is item 3 + k. A failure returns at once and leaves what was
// extracted; only a loaded plug-in is released.
#include "run_package.h"

#include "codecs/codec.h"
#include "codecs/temp_name.h"
#include "package/manifest.h"
#include "package/package_item.h"
#include "text.h"

static const char kNoTarget[] = "none";

void ReleasePlugin(SysModule* plugin, const char* pluginFile) {
    if (*plugin == NULL)
        return;
    SysFreeLibrary(*plugin);
    SysDeleteFile(pluginFile);
    *plugin = NULL;
}

// Chooses the codec: the plug-in's when the package carries one.
static bool ChooseCodec(const char* directory, SysModule* plugin, char* pluginFile, Codec* codec) {
    *codec = ExpandWithLz;
    uint32_t size = 0;
    const unsigned char* item = GetPackageItem(1, &size);
    if (item == NULL)
        return true;
    if (MakeTempName(directory, pluginFile) == 0 ||
        !ExpandWithLz(item, size, directory, pluginFile))
        return false;
    *plugin = SysLoadLibrary(pluginFile);
    if (*plugin == NULL)
        return false;
    Codec found = (Codec)SysGetProcAddress(*plugin, SXE_PLUGIN_EXPORT);
    if (found == NULL) {
        ReleasePlugin(plugin, pluginFile);
        return false;
    }
    *codec = found;
    return true;
}

static bool ExpandManifest(const char* directory, Codec codec, char* manifestFile) {
    uint32_t size = 0;
    const unsigned char* item = GetPackageItem(2, &size);
    if (item == NULL || MakeTempName(directory, manifestFile) == 0 ||
        !codec(item, size, directory, manifestFile) || !LoadManifest(manifestFile))
        return false;
    RewindManifest();
    return true;
}

bool RunPackage(const char* directory, uint32_t* exitCode) {
    SysModule plugin = NULL;
    char pluginFile[kMaxPath] = "";
    Codec codec;
    if (!ChooseCodec(directory, &plugin, pluginFile, &codec))
        return false;

    char manifestFile[kMaxPath] = "";
    if (!ExpandManifest(directory, codec, manifestFile)) {
        ReleasePlugin(&plugin, pluginFile);
        return false;
    }

    char launchTarget[kShortStore];
    CopyText(launchTarget, sizeof launchTarget, kNoTarget);
    char entryDirectory[kLineSize];
    char path[kMaxPath];
    uint32_t extracted = 0;
    bool lineRead = ReadManifestLine();
    for (;;) {
        if (!lineRead)
            break; // a line too long for the line buffer
        if (AtManifestEndMarker()) {
            const char* lastOutput = extracted > 0 ? path : NULL;
            if (!LaunchTarget(&plugin, pluginFile, launchTarget, lastOutput, exitCode))
                return false;
            CleanUpAfterRun(directory, manifestFile, extracted);
            return true;
        }
        uint32_t size = 0;
        const unsigned char* item = GetPackageItem(3 + extracted, &size);
        if (item == NULL)
            break;
        EntryDirectory(manifestLine, entryDirectory);
        if (entryDirectory[0] != '\0') {
            if (!JoinText(path, sizeof path, directory, entryDirectory))
                break;
            SysCreateDirectory(path);
        }
        if (!JoinText(path, sizeof path, directory, manifestLine))
            break;
        if (TextEquals(launchTarget, kNoTarget) &&
            !CopyText(launchTarget, sizeof launchTarget, path))
            break;
        if (!codec(item, size, directory, path))
            break;
        ++extracted;
        lineRead = ReadManifestLine();
    }
    ReleasePlugin(&plugin, pluginFile);
    return false;
}
