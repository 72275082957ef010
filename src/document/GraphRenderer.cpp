#include "document/GraphRenderer.h"

namespace velquine {

namespace {

std::shared_ptr<const GraphRenderer>& installedRenderer()
{
    static std::shared_ptr<const GraphRenderer> renderer;
    return renderer;
}

} // namespace

void GraphRenderer::install(std::shared_ptr<const GraphRenderer> renderer)
{
    installedRenderer() = std::move(renderer);
}

std::shared_ptr<const GraphRenderer> GraphRenderer::installed()
{
    return installedRenderer();
}

} // namespace velquine
