// trx_mesh.cpp: saving, using, appending and freeing meshes.
#include <cmath>
#include <cstring>

#include "assert_report.h"
#include "trx_state.h"

// A new block holding count elements copied from table; none for an empty table.
static bool CopyBlock(const void* table, int32_t count, size_t size, void** out) {
    *out = nullptr;
    if (count <= 0) return true;
    void* p = TrxRealloc(nullptr, static_cast<size_t>(count) * size);
    if (!p) return false;
    std::memcpy(p, table, static_cast<size_t>(count) * size);
    *out = p;
    return true;
}

int SaveMesh(Mesh* mesh) {
    if (!mesh) return 0;
    void* m = nullptr;
    void* n = nullptr;
    void* w = nullptr;
    void* l = nullptr;
    void* c = nullptr;
    if (!CopyBlock(trx.wmtable, trx.wmcount, sizeof(Material), &m) ||
        !CopyBlock(trx.wntable, trx.wncount, sizeof(Vec4), &n) ||
        !CopyBlock(trx.wvtable, trx.wvcount, sizeof(Vec4), &w) ||
        !CopyBlock(trx.wltable, trx.wlcount, sizeof(Link), &l) ||
        !CopyBlock(trx.wctable, trx.wccount, sizeof(Command), &c)) {
        TrxFree(m);
        TrxFree(n);
        TrxFree(w);
        TrxFree(l);
        TrxFree(c);
        return -1;
    }
    mesh->mtable = static_cast<Material*>(m);
    mesh->mcount = trx.wmcount;
    mesh->ntable = static_cast<Vec4*>(n);
    mesh->ncount = trx.wncount;
    mesh->wtable = static_cast<Vec4*>(w);
    mesh->wcount = trx.wvcount;
    mesh->ltable = static_cast<Link*>(l);
    mesh->lcount = trx.wlcount;
    mesh->ctable = static_cast<Command*>(c);
    mesh->ccount = trx.wccount;
    return 0;
}

void UseMesh(Mesh* mesh) {
    if (!mesh) {
        ClearScene();
        return;
    }
    TrxFree(trx.wmtable);
    TrxFree(trx.wntable);
    TrxFree(trx.wvtable);
    TrxFree(trx.wltable);
    TrxFree(trx.wctable);
    trx.wmtable = mesh->mtable;
    trx.wmcount = trx.wmcapacity = mesh->mtable ? mesh->mcount : 0;
    trx.wntable = mesh->ntable;
    trx.wncount = trx.wncapacity = mesh->ntable ? mesh->ncount : 0;
    trx.wvtable = mesh->wtable;
    trx.wvcount = trx.wvcapacity = mesh->wtable ? mesh->wcount : 0;
    trx.wltable = mesh->ltable;
    trx.wlcount = trx.wlcapacity = mesh->ltable ? mesh->lcount : 0;
    trx.wctable = mesh->ctable;
    trx.wccount = trx.wccapacity = mesh->ctable ? mesh->ccount : 0;

    // The mesh's emitter runs define lights as they would have if appended.
    trx.ecount = 0;
    int32_t c = 0;
    while (c < trx.wccount) {
        const RunHeader& h = trx.wctable[c].run;
        if (h.count <= 0) break;  // a broken list: RenderFrame reports it
        if ((h.type & 0xF) == PRIM_EMITTER) {
            int32_t* block = trx.emitters;
            if (trx.ecount >= trx.ecapacity) {
                void* p =
                    TrxRealloc(block, (static_cast<size_t>(trx.ecapacity) + TRX_GROW) * sizeof(int32_t));
                if (!p) break;  // like BeginRun, a full emitter list only loses lights
                trx.emitters = static_cast<int32_t*>(p);
                trx.ecapacity += TRX_GROW;
            }
            trx.emitters[trx.ecount++] = c;
        }
        c += 1 + (h.count > TRX_MAX_RUN ? TRX_MAX_RUN : h.count);
    }
}

void FreeMesh(Mesh* todestroy) {
    if (!todestroy) return;
    if (todestroy->wtable && todestroy->wtable == trx.wvtable)
        AssertReport("todestroy->wtable!=wvtable", "trx", 573);
    TrxFree(todestroy->mtable);
    TrxFree(todestroy->ntable);
    TrxFree(todestroy->wtable);
    TrxFree(todestroy->ltable);
    TrxFree(todestroy->ctable);
    todestroy->mcount = todestroy->ncount = todestroy->wcount = todestroy->lcount = todestroy->ccount = 0;
}

// Appends the mesh's tables; false at the first failed append.
static bool AppendTables(const Mesh* mesh, const uint16_t* remap, int remapCount, int32_t mbase,
                         int32_t nbase, int32_t vbase, int32_t lbase) {
    if (mesh->mcount < 0 || mesh->ncount < 0 || mesh->wcount < 0 || mesh->lcount < 0 ||
        mesh->ccount < 0)
        return false;
    if (!TrxReserveScene(mesh->mcount, mesh->ncount, mesh->wcount, mesh->lcount, mesh->ccount))
        return false;
    // The tables have room now: materials, normals, vertices and links are written straight in,
    // normals and vertices under the input transform exactly as AddNormal and AddVertex do.
    if (mesh->mcount > 0)
        std::memcpy(trx.wmtable + mbase, mesh->mtable, static_cast<size_t>(mesh->mcount) * sizeof(Material));
    trx.wmcount = mbase + mesh->mcount;
    Vec4* nout = trx.wntable + nbase;
    for (int32_t i = 0; i < mesh->ncount; ++i) nout[i] = TrxInputNormal(mesh->ntable[i]);
    trx.wncount = nbase + mesh->ncount;
    Vec4* vout = trx.wvtable + vbase;
    for (int32_t i = 0; i < mesh->wcount; ++i) vout[i] = TrxInputPoint(mesh->wtable[i]);
    trx.wvcount = vbase + mesh->wcount;
    Link* lout = trx.wltable + lbase;
    for (int32_t i = 0; i < mesh->lcount; ++i)
        lout[i] = Link{nbase + mesh->ltable[i].normal, vbase + mesh->ltable[i].vertex};
    trx.wlcount = lbase + mesh->lcount;
    const int32_t cbase = trx.wccount;
    Command* cout = trx.wctable + cbase;
    int32_t refsLeft = 0;  // VertexRefs still due to the current run
    for (int32_t i = 0; i < mesh->ccount; ++i) {
        const Command& c = mesh->ctable[i];
        if (refsLeft > 0) {
            --refsLeft;
            const VertexRef& r = c.ref;
            const int32_t material = r.material >= 0 ? mbase + r.material : r.material;
            cout[i].ref = VertexRef{material, lbase + r.link, r.v, r.u};
        } else {
            // As BeginRun with the header's type: the sort key starts at 0.
            int texture = c.run.texture;
            if (remap && texture >= 0 && texture < remapCount) texture = remap[texture];
            cout[i].run = RunHeader{0, c.run.type, 0, c.run.count, texture};
            if ((c.run.type & 0xF) == PRIM_EMITTER) TrxAddEmitter(cbase + i);
            refsLeft = c.run.count > 0 ? c.run.count : 0;
        }
    }
    trx.wccount = cbase + mesh->ccount;
    return true;
}

int AppendMesh(const Mesh* mesh, const Matrix* matrix, const uint16_t* remap, int remapCount) {
    SetInputTransform(matrix);
    if (!mesh) return 0;
    // The mesh taken into use by UseMesh is the current scene itself: appending it would read
    // tables that the appends reallocate.
    if ((mesh->wtable && mesh->wtable == trx.wvtable) || (mesh->ctable && mesh->ctable == trx.wctable) ||
        (mesh->ltable && mesh->ltable == trx.wltable) || (mesh->ntable && mesh->ntable == trx.wntable) ||
        (mesh->mtable && mesh->mtable == trx.wmtable))
        return -1;
    const int32_t mbase = trx.wmcount, nbase = trx.wncount, vbase = trx.wvcount, lbase = trx.wlcount,
                  cbase = trx.wccount, ebase = trx.ecount;
    if (AppendTables(mesh, remap, remapCount, mbase, nbase, vbase, lbase)) return 0;
    trx.wmcount = mbase;
    trx.wncount = nbase;
    trx.wvcount = vbase;
    trx.wlcount = lbase;
    trx.wccount = cbase;
    trx.ecount = ebase;  // entries past the rolled-back list would name foreign entries
    return -1;
}
